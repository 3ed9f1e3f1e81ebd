import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls.impl
import QtQuick.Layouts

// A menu item that shows its action's shortcut after its text, as desktop menus do.
MenuItem {
    id: item

    property string shortcutText: action && action.shortcut ? String(action.shortcut) : ""

    Accessible.description: shortcutText

    contentItem: RowLayout {
        spacing: 24

        // Draws the mnemonic as the default item does.
        IconLabel {
            Layout.fillWidth: true
            alignment: Qt.AlignLeft
            text: item.text
            font: item.font
            color: item.palette.windowText
        }
        Label {
            objectName: "shortcutText"
            visible: item.shortcutText.length > 0
            text: item.shortcutText
            font: item.font
            color: item.palette.mid
        }
    }
}
