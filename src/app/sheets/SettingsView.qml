import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The settings sheet: compact layout, kill switch, local network, launch at login, and the removal
// of the VPN profile with the alert that reports it. Made anew at each opening.
Pane {
    id: view
    objectName: "settingsView"

    required property VelmoraController ctrl
    required property Services services
    required property var mainWindow

    focus: true
    padding: 0

    SettingsViewModel {
        id: screen
        objectName: "settingsScreen"
        services: view.services
        mainWindow: view.mainWindow
    }

    component Footnote: Label {
        Layout.fillWidth: true
        leftPadding: 10
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        font.pixelSize: Theme.footnoteSize
    }
    component Divider: Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: palette.mid
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 10
            Layout.leftMargin: 10
            Layout.rightMargin: 10

            Item { Layout.fillWidth: true }
            CloseButton {
                objectName: "settingsClose"
                onClicked: view.ctrl.showSettings = !view.ctrl.showSettings
            }
        }

        Label {
            objectName: "settingsTitle"
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 10
            text: qsTr("Settings")
            font.pixelSize: Theme.largeTitleSize
            readonly property int accessibleRole: Accessible.Heading
        }

        ScrollView {
            id: scroll
            objectName: "settingsScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            contentHeight: rows.implicitHeight + 32
            // The rows take the width there is: never a horizontal bar, seen or heard.
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            ScrollBar.vertical: ScrollBar {
                parent: scroll
                x: scroll.mirrored ? 0 : scroll.width - width
                y: scroll.topPadding
                height: scroll.availableHeight
                // Shown all the time, not only while scrolling.
                policy: ScrollBar.AlwaysOn
                Accessible.name: qsTr("Settings")
            }

            ColumnLayout {
                id: rows
                width: scroll.availableWidth - 32
                x: 16
                y: 16
                spacing: 10

                Switch {
                    objectName: "compactViewSwitch"
                    text: qsTr("Compact View")
                    checked: screen.compactView
                    onToggled: screen.compactView = checked
                }
                Footnote {
                    text: qsTr("When 'Compact View' is enabled, the main screen is simplified for a clutter-free experience. The map, subscription status, and other additional details are hidden, providing a straightforward interface focused on essential VPN controls. Disable this option to access a detailed view with all the features.")
                }
                Divider {}
                Switch {
                    objectName: "killSwitch"
                    text: qsTr("Kill switch")
                    checked: screen.killSwitch
                    onToggled: screen.killSwitch = checked
                }
                Footnote {
                    text: qsTr("'Kill switch' is a helpful feature that ensures your online activities are always secured through the VPN. Once enabled, it automatically reconnects your device to the VPN whenever your connection drops or is interrupted. This helps maintain a continuous secure connection, protecting your data from being exposed even momentarily.")
                }
                Divider {}
                Switch {
                    objectName: "excludeLocalNetworkSwitch"
                    text: qsTr("Exclude local network")
                    checked: screen.excludeLocalNetworks
                    onToggled: screen.excludeLocalNetworks = checked
                }
                Footnote {
                    text: qsTr("Allow access to devices on the local network (such as printers, file servers, or media servers)")
                }
                Divider {}
                CheckBox {
                    objectName: "launchAtLoginCheck"
                    text: qsTr("Launch Velmora on startup")
                    checked: screen.launchAtLogin
                    onToggled: screen.launchAtLogin = checked
                }
                Divider {}
                PrimaryButton {
                    objectName: "removeProfileButton"
                    Layout.topMargin: 10
                    text: qsTr("Remove profile")
                    topPadding: 5
                    bottomPadding: 5
                    leftPadding: 15
                    rightPadding: 15
                    cornerRadius: 5
                    onClicked: screen.removeProfile()
                }
                Footnote {
                    text: qsTr("Removes VPN profile from your device")
                }
                Divider {}
            }
        }
    }

    Dialog {
        id: settingsAlert
        objectName: "settingsAlert"
        x: (view.width - width) / 2
        y: (view.height - height) / 2
        width: Math.min(360, view.width - 40)
        modal: true
        closePolicy: Popup.CloseOnEscape
        visible: screen.alertShown
        title: screen.alertTitle
        footer: OkFooter {
            dialog: settingsAlert
        }
        onClosed: screen.dismissAlert()

        Label {
            objectName: "settingsAlertMessage"
            width: parent.width
            text: screen.alertMessage
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            readonly property int accessibleRole: Accessible.AlertMessage
            Accessible.name: text
        }
    }
}
