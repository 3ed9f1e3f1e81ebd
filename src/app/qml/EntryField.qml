import QtQuick
import QtQuick.Controls.Basic

// The login screen's text entry: plain text on white, a thin gray outline.
TextField {
    topPadding: 10
    bottomPadding: 10
    leftPadding: 8
    rightPadding: 8
    color: "black"
    placeholderTextColor: "#8a8a8a"
    selectByMouse: true

    background: Rectangle {
        color: "white"
        radius: 2
        border.width: 1
        border.color: parent.activeFocus ? "#3b82f6" : Qt.rgba(0.5, 0.5, 0.5, 0.7)
    }
}
