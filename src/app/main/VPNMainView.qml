import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
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
        sourceComponent: content
    }

    Component {
        id: content

        ColumnLayout {
            spacing: 8

            RowLayout {
                objectName: "topBar"
                Layout.fillWidth: true
                Layout.topMargin: 8

                // Always in the row, so that the row never sees an item come or go: Qt 6.4's layout
                // can miss one that turns visible while the window is being resized.
                Item {
                    Layout.fillWidth: true
                    implicitHeight: planText.implicitHeight

                    Label {
                        id: planText
                        objectName: "planText"
                        anchors.verticalCenter: parent.verticalCenter
                        width: parent.width
                        visible: !mainScreen.compact
                        leftPadding: 60
                        text: root.ctrl.subscription
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.pixelSize: Theme.subtitleSize
                    }
                }

                AccountMenu {
                    Layout.rightMargin: 20
                    ctrl: root.ctrl
                    vm: root.vm
                    screen: mainScreen
                }
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: 0

                ColumnLayout {
                    objectName: "leftColumn"
                    Layout.preferredWidth: 300
                    Layout.maximumWidth: 300
                    Layout.fillHeight: true
                    spacing: 8

                    ConnectionStatusView {
                        Layout.fillWidth: true
                        ctrl: root.ctrl
                    }

                    VPNRegionsView {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        ctrl: root.ctrl
                    }
                }

                // The map, made only for the full layout.
                Loader {
                    objectName: "mapColumn"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    visible: !mainScreen.compact
                    active: visible
                    sourceComponent: MapView {
                        ctrl: root.ctrl
                    }
                }
            }
        }
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
