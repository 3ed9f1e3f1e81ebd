import QtQuick
import Velmora

// The sign-up form's second password entry, kept in step with the login model both ways.
PasswordField {
    id: repeat

    required property LoginViewModel model

    objectName: "repeatPasswordField"
    title: qsTr("Repeat Password")
    text: repeat.model.repeatPassword
    onEdited: repeat.model.repeatPassword = text
}
