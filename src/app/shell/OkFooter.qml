import QtQuick
import QtQuick.Controls.Basic

// A dialog's footer with its one button, OK, which accepts the dialog. Stands in for Qt's
// DialogButtonBox, which Qt 6.4 can crash in when it is destroyed while a screen reader runs.
Item {
    id: footer

    required property Dialog dialog

    implicitWidth: ok.implicitWidth + 24
    implicitHeight: ok.implicitHeight + 24

    Button {
        id: ok
        objectName: footer.dialog.objectName + "OK"
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        text: qsTr("OK")
        onClicked: footer.dialog.accept()
    }
}
