import QtQuick
import QtQuick.Controls.Basic
import Velmora

// The login screen's error alert: the controller's message as it stands, and "OK".
Dialog {
    id: alert
    objectName: "alert"

    required property LoginViewModel model

    title: qsTr("Message")
    anchors.centerIn: parent
    width: Math.min(360, parent ? parent.width - 40 : 360)
    modal: true
    // An alert: only its button or Escape dismiss it.
    closePolicy: Popup.CloseOnEscape
    visible: true

    Label {
        objectName: "alertMessage"
        width: parent.width
        text: alert.model.controller ? alert.model.controller.loginErrorMsg : ""
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: Theme.text
        readonly property int accessibleRole: Accessible.AlertMessage
        Accessible.name: text
    }

    // Not a DialogButtonBox: Qt 6.4 can crash in one destroyed while a screen reader runs.
    footer: Item {
        implicitWidth: okButton.implicitWidth + 24
        implicitHeight: okButton.implicitHeight + 24

        Button {
            id: okButton
            objectName: "alertOK"
            anchors.right: parent.right
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            text: qsTr("OK")
            focus: true
            palette.buttonText: Theme.alertButtonText
            Accessible.name: text
            onClicked: alert.model.dismissAlert()
            Keys.onReturnPressed: alert.model.dismissAlert()
            Keys.onEnterPressed: alert.model.dismissAlert()
        }
    }

    onOpened: okButton.forceActiveFocus()
    onClosed: alert.model.dismissAlert()
}
