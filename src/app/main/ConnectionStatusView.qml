import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The connect button with the state's image (and a spinner in the busy states) over the status line.
ColumnLayout {
    id: view

    required property VelmoraController ctrl

    spacing: 6

    ConnectionStatusViewModel {
        id: block
        objectName: "statusBlock"
        status: view.ctrl.connectionStatus
    }

    Button {
        objectName: "connectButton"
        Layout.alignment: Qt.AlignHCenter
        focus: true
        background: null
        Accessible.name: block.action
        Accessible.description: block.text
        onClicked: view.ctrl.doConnect()

        contentItem: Item {
            implicitWidth: 150
            implicitHeight: 150

            Image {
                objectName: "connectImage"
                anchors.fill: parent
                source: block.image
                sourceSize.width: 300
                sourceSize.height: 300
                fillMode: Image.PreserveAspectFit
            }

            // Made only while busy: nothing turns, and nothing wakes the window, in the other states.
            Loader {
                anchors.centerIn: parent
                active: block.busy
                sourceComponent: StepSpinner {
                    objectName: "connectSpinner"
                }
            }
        }
    }

    Label {
        objectName: "statusText"
        Layout.fillWidth: true
        text: block.text
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        font.pixelSize: Theme.statusSize
        font.bold: true
        Accessible.role: Accessible.StaticText
        Accessible.name: text

        Announcement {
            objectName: "statusAnnouncement"
            text: block.text
        }
    }
}
