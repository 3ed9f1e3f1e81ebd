import QtQuick
import QtQuick.Controls.Basic
import Velmora

// The login screen's text entry: plain text on white, a thin gray outline.
TextField {
    topPadding: 10
    bottomPadding: 10
    leftPadding: 8
    rightPadding: 8
    color: Theme.text
    placeholderTextColor: Theme.placeholderText
    selectByMouse: true

    background: Rectangle {
        color: Theme.fieldBackground
        radius: 2
        border.width: 1
        border.color: parent.activeFocus ? Theme.focusRing : Theme.fieldBorder
    }
}
