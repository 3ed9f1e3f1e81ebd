import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
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
    closePolicy: Popup.NoAutoClose
    visible: true

    Label {
        objectName: "alertMessage"
        width: parent.width
        text: alert.model.controller ? alert.model.controller.loginErrorMsg : ""
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: "black"
        readonly property int accessibleRole: Accessible.AlertMessage
        Accessible.name: text
    }

    footer: DialogButtonBox {
        Button {
            id: okButton
            objectName: "alertOK"
            text: qsTr("OK")
            focus: true
            palette.buttonText: "#c62828"
            Accessible.name: text
            onClicked: alert.model.dismissAlert()
            Keys.onReturnPressed: alert.model.dismissAlert()
            Keys.onEnterPressed: alert.model.dismissAlert()
        }
    }

    onOpened: okButton.forceActiveFocus()
}
