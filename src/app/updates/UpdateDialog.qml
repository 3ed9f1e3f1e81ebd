import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The update dialog: up to date, a newer version to download, a download ready, or an error.
Dialog {
    id: root

    required property UpdateDialogModel alert

    objectName: "updateDialog"
    title: alert.title
    anchors.centerIn: parent
    modal: true
    // Narrower in the compact window.
    width: Math.min(420, parent.width - 20)
    onClosed: {
        // Back to the control the user was on before the dialog and the menu that opened it.
        root.parent.forceActiveFocus()
        alert.dismiss()
    }

    // Wrapped rather than cut off in the compact window.
    header: Label {
        objectName: "updateTitle"
        text: root.title
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        font.bold: true
        padding: 12
        bottomPadding: 0
    }

    ColumnLayout {
        width: root.availableWidth
        spacing: 16

        Label {
            objectName: "updateMessage"
            Layout.fillWidth: true
            text: root.alert.message
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 8

            Button {
                objectName: "updateLaterButton"
                visible: root.alert.offersDownload
                text: qsTr("Later")
                onClicked: root.close()
            }
            Button {
                objectName: "updateDownloadButton"
                visible: root.alert.offersDownload
                highlighted: true
                text: qsTr("Download")
                onClicked: root.alert.download()
            }
            Button {
                objectName: "updateOkButton"
                visible: !root.alert.offersDownload
                text: qsTr("OK")
                onClicked: root.close()
            }
        }
    }
}
