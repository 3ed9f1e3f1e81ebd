import QtQuick
import QtQuick.Controls.Basic

// A button whose label is its text in white on a blue capsule.
Button {
    id: button

    padding: 8
    focusPolicy: Qt.StrongFocus
    Accessible.name: text

    contentItem: Label {
        text: button.text
        textFormat: Text.PlainText
        color: "white"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: height / 2
        color: button.down ? "#1d4ed8" : "#2563eb"
        border.width: button.visualFocus ? 2 : 0
        border.color: "#93c5fd"
    }
}
