import QtQuick

// A text that a screen reader says each time it changes: an unseen notification shown anew.
Item {
    id: announcement

    property string text

    Accessible.role: Accessible.Notification
    Accessible.name: text
    onTextChanged: {
        visible = false
        visible = true
    }
}
