import QtQuick
import QtQuick.Controls.Basic
import Velmora

ApplicationWindow {
    id: window
    objectName: "mainWindow"

    required property ContentViewModel vm
    required property Services services
    required property Updater updater

    width: 800
    height: 500
    visible: true
    title: qsTr("Velmora")
    // Close and minimise, but no maximise button.
    flags: Qt.Window | Qt.CustomizeWindowHint | Qt.WindowTitleHint | Qt.WindowSystemMenuHint
           | Qt.WindowMinimizeButtonHint | Qt.WindowCloseButtonHint
    // The sizes of the text styles are the original desktop's points, one logical pixel each.
    font.pixelSize: Theme.bodySize

    menuBar: MenuBar {
        id: menuBar
        objectName: "menuBar"
        Accessible.name: qsTr("Menu bar")
        delegate: MenuBarItem {
            implicitHeight: 28
        }
        background: Rectangle {
            implicitHeight: 28
            color: Theme.menuBar
        }

        Menu {
            objectName: "applicationMenu"
            title: qsTr("&Velmora")
            delegate: ShortcutMenuItem {}

            Action {
                objectName: "aboutAction"
                text: qsTr("&About Velmora")
                onTriggered: about.active = true
            }
            CheckForUpdatesView {
                updater: window.updater
            }
            MenuSeparator {}
            Action {
                objectName: "settingsAction"
                text: qsTr("&Settings…")
                shortcut: "Ctrl+,"
                onTriggered: settings.show()
            }
            MenuSeparator {}
            // Its key is the application-wide shortcut below: shown here, not bound twice.
            ShortcutMenuItem {
                shortcutText: "Ctrl+Q"
                action: Action {
                    id: quitAction
                    objectName: "quitAction"
                    text: qsTr("&Quit")
                    onTriggered: Qt.quit()
                }
            }
        }
    }

    ContentView {
        anchors.fill: parent
        focus: true
        vm: window.vm
        services: window.services
    }

    // Made when first asked for, so that it costs the start nothing.
    Loader {
        id: about
        active: false
        Component.onCompleted: setSource(Qt.resolvedUrl("AboutDialog.qml"),
                                         {parent: window.contentItem, visible: true})

        Connections {
            target: about.item
            function onClosed() {
                about.active = false
            }
        }
    }

    // The desktop's way to the menu bar from the keyboard.
    Shortcut {
        sequence: "F10"
        onActivated: (menuBar.itemAt(0) as MenuBarItem).triggered()
    }

    // Quits from any of the application's windows, the Settings window too.
    Shortcut {
        sequence: "Ctrl+Q"
        context: Qt.ApplicationShortcut
        onActivated: quitAction.trigger()
    }

    UpdateDialogModel {
        id: updateAlert
        objectName: "updateAlert"
        updater: window.updater
    }

    Loader {
        active: updateAlert.shown
        Component.onCompleted: setSource(Qt.resolvedUrl("../updates/UpdateDialog.qml"),
                                         {parent: window.contentItem, alert: updateAlert, visible: true})
    }

    // One Settings window, made when first asked for and kept when closed.
    Loader {
        id: settings
        objectName: "settingsLoader"
        active: false

        function show() {
            active = true
            // Not tied to the main window: it stacks and minimises on its own.
            item.transientParent = null
            item.show()
            item.raise()
            item.requestActivate()
        }

        Component.onCompleted: setSource(Qt.resolvedUrl("../updates/UpdaterSettingsView.qml"),
                                         {updater: window.updater})
    }
}
