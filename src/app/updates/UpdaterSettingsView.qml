import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The Settings window: automatic update checks and downloads. A window of its own, sized to its
// content, with no maximise button.
Window {
    id: root

    required property Updater updater

    objectName: "settingsWindow"
    title: qsTr("Velmora Settings")
    flags: Qt.Window | Qt.CustomizeWindowHint | Qt.WindowTitleHint | Qt.WindowSystemMenuHint
           | Qt.WindowMinimizeButtonHint | Qt.WindowCloseButtonHint
    width: content.implicitWidth + 40
    height: content.implicitHeight + 40
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    color: palette.window

    UpdaterSettingsViewModel {
        id: settings
        updater: root.updater
    }

    ColumnLayout {
        id: content
        anchors.centerIn: parent
        spacing: 8

        CheckBox {
            objectName: "automaticChecksSwitch"
            text: qsTr("Automatically check for updates")
            checked: settings.automaticallyChecksForUpdates
            onToggled: settings.automaticallyChecksForUpdates = checked
        }
        CheckBox {
            objectName: "automaticDownloadsSwitch"
            text: qsTr("Automatically download updates")
            enabled: settings.canChangeAutomaticDownloads
            checked: settings.automaticallyDownloadsUpdates
            onToggled: settings.automaticallyDownloadsUpdates = checked
        }
    }
}
