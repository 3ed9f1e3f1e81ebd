import QtQuick

// A text that a screen reader says each time it changes: an unseen notification shown anew.
Item {
    id: announcement

    property string text

    visible: false
    Accessible.role: Accessible.Notification
    // Named before it shows, so that the reader finds the new text when it looks.
    onTextChanged: {
        Accessible.name = text
        visible = false
        visible = text.length > 0
    }
}
