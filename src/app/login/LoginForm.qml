import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The login screen's entry group: e-mail, password (and its repetition when signing up), options,
// the main button and the link that switches between logging in and signing up.
ColumnLayout {
    id: form

    required property LoginViewModel model

    readonly property bool signingUp: model.mode === LoginViewModel.SignUp

    spacing: 6

    EntryField {
        objectName: "emailField"
        Layout.fillWidth: true
        focus: true
        placeholderText: qsTr("Email")
        Accessible.name: qsTr("Email")
        text: form.model.email
        onTextEdited: form.model.email = text
    }
    PasswordField {
        objectName: "passwordField"
        Layout.fillWidth: true
        Layout.topMargin: 8
        title: qsTr("Password")
        text: form.model.password
        onEdited: form.model.password = text
    }
    Loader {
        Layout.fillWidth: true
        Layout.topMargin: 8
        active: form.signingUp
        visible: active
        Component.onCompleted: setSource(Qt.resolvedUrl("RepeatPasswordField.qml"), {model: form.model})
    }
    RowLayout {
        Layout.fillWidth: true

        CheckBox {
            id: keepLoggedIn
            objectName: "keepLoggedIn"
            padding: 0
            checked: form.model.keepLoggedIn
            onToggled: form.model.keepLoggedIn = checked
            Accessible.name: qsTr("Keep Logged In")

            indicator: Rectangle {
                implicitWidth: 18
                implicitHeight: 18
                radius: 3
                color: keepLoggedIn.checked ? Theme.accent : Theme.fieldBackground
                border.width: keepLoggedIn.visualFocus ? 2 : 1
                border.color: keepLoggedIn.visualFocus ? Theme.focusRing : Theme.boxBorder

                Label {
                    anchors.centerIn: parent
                    visible: keepLoggedIn.checked
                    text: "\u2713"
                    color: Theme.textOnAccent
                    font.pixelSize: Theme.bodySize
                }
            }
        }
        Label {
            text: qsTr("Keep Logged In")
            color: Theme.text
        }
        Item { Layout.fillWidth: true }
        LinkButton {
            objectName: "forgetPassword"
            text: qsTr("Forget Password")
            onClicked: form.model.openPasswordReset()
        }
    }
    PrimaryButton {
        objectName: "mainButton"
        Layout.fillWidth: true
        Layout.topMargin: 8
        leadsOn: true
        text: form.signingUp ? qsTr("Sign Up") : qsTr("Login")
        onClicked: form.model.submit()
    }
    RowLayout {
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: 10

        Label {
            objectName: "modeSwitchText"
            text: form.signingUp ? qsTr("If you already have an account, ") : qsTr("Don't have account yet?")
            color: Theme.secondaryText
        }
        LinkButton {
            objectName: "modeSwitchLink"
            text: form.signingUp ? qsTr("Log In") : qsTr("Sign Up")
            color: Theme.link
            onClicked: form.signingUp ? form.model.showLogIn() : form.model.showSignUp()
        }
    }
}
