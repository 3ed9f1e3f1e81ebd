import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

Dialog {
    id: about
    objectName: "aboutDialog"
    title: qsTr("About Velmora")
    anchors.centerIn: parent
    modal: true
    footer: OkFooter {
        dialog: about
    }

    ColumnLayout {
        spacing: 8

        Label {
            objectName: "aboutName"
            text: qsTr("Velmora")
            font.bold: true
        }
        Label {
            objectName: "aboutVersion"
            text: qsTr("Version %1").arg(Qt.application.version)
            textFormat: Text.PlainText
        }
    }
}
