import QtQuick
import QtQuick.Controls.Basic
import Velmora

// "Check for Updates…": enabled while the updater can begin a check.
MenuItem {
    id: root

    required property Updater updater

    objectName: "checkForUpdatesItem"
    text: qsTr("Check for &Updates…")
    enabled: updater.canCheckForUpdates
    onTriggered: updater.checkForUpdates()
}
