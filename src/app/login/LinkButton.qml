import QtQuick
import QtQuick.Controls.Basic
import Velmora

// A text link: the title in its colour, underlined in black.
AbstractButton {
    id: link

    property color color: Theme.text

    padding: 0
    focusPolicy: Qt.StrongFocus
    readonly property int accessibleRole: Accessible.Link
    Accessible.name: text

    contentItem: Label {
        text: link.text
        textFormat: Text.PlainText
        color: link.color
        font: link.font
    }

    background: Item {
        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 1
            color: Theme.text
        }
        Rectangle {
            anchors.fill: parent
            anchors.margins: -2
            visible: link.visualFocus
            color: "transparent"
            border.color: Theme.focusRing
            radius: 2
        }
    }
}
