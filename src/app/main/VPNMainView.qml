import QtQuick
import QtQuick.Controls.Basic
import Velmora

// The logged-in screen: plan text and account menu on top; the connect button, the status and the
// regions in a column on the left; the map's place beside them in the full layout.
Item {
    id: root

    required property ContentViewModel vm
    required property Services services

    // Made once, for as long as this screen lives; its construction also follows "logout".
    readonly property VelmoraController ctrl: services.newVelmoraController(root)
    readonly property bool shown: visible && Window.window !== null

    function adjustWindowSize() {
        if (shown)
            mainScreen.adjustWindowSize(Window.window)
    }

    onShownChanged: adjustWindowSize()
    Component.onCompleted: {
        adjustWindowSize()
        if (!mainScreen.loggedIn)
            mainScreen.requestLogin()
    }

    VPNMainViewModel {
        id: mainScreen
        objectName: "mainScreen"
    }

    Label {
        objectName: "pleaseLogIn"
        anchors.centerIn: parent
        visible: !mainScreen.loggedIn
        text: qsTr("Please log in")
        font.pixelSize: Theme.bodySize
    }

    Loader {
        anchors.fill: parent
        focus: true
        active: mainScreen.loggedIn
        Component.onCompleted: setSource(Qt.resolvedUrl("VPNMainLayout.qml"),
                                         {ctrl: root.ctrl, vm: root.vm, screen: mainScreen})
    }

    Sheets {
        ctrl: root.ctrl
        services: root.services
    }

    Dialog {
        id: redeemAlert
        objectName: "redeemAlert"
        x: (root.width - width) / 2
        y: (root.height - height) / 2
        width: Math.min(320, root.width - 24)
        modal: true
        // An alert: only its button or Escape dismiss it.
        closePolicy: Popup.CloseOnEscape
        visible: root.ctrl.showAlert
        footer: OkFooter {
            dialog: redeemAlert
        }
        onClosed: root.ctrl.showAlert = false

        header: Label {
            objectName: "redeemAlertTitle"
            padding: 16
            text: root.ctrl.redeemAlertMessage
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.bold: true
            font.pixelSize: Theme.bodySize
        }
    }
}
