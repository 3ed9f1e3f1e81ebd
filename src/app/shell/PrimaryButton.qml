import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls.impl
import QtQuick.Layouts
import Velmora

// The blue button of every screen: its text in white, centred, and an arrow at its end when it
// leads on to what comes next.
Button {
    id: button

    property bool leadsOn: false
    property real cornerRadius: Theme.cornerRadius

    focusPolicy: Qt.StrongFocus
    Accessible.name: text

    contentItem: RowLayout {
        spacing: 0

        Item { Layout.fillWidth: true }
        Label {
            text: button.text
            textFormat: Text.PlainText
            color: Theme.textOnAccent
        }
        Item { Layout.fillWidth: true }
        IconImage {
            visible: button.leadsOn
            source: Assets.symbol("arrow.right")
            sourceSize.width: 16
            sourceSize.height: 16
            color: Theme.textOnAccent
        }
    }
    background: Rectangle {
        implicitHeight: button.leadsOn ? 36 : 0
        radius: button.cornerRadius
        color: button.down ? Theme.accentPressed : Theme.accent
        border.width: button.visualFocus ? 2 : 0
        border.color: Theme.focusRingOnAccent
    }
}
