import QtQuick
import QtQuick.Controls.Basic

// A dialog's footer with its one button, OK, which accepts the dialog. Stands in for Qt's
// DialogButtonBox, which Qt 6.4 can crash in when it is destroyed while a screen reader runs.
// The open dialog holds the keyboard focus, so that Return or Escape closes it, and hands it back
// to what it covers when it closes: otherwise the keys reach nothing until Tab is pressed.
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
        Keys.onReturnPressed: footer.dialog.accept()
        Keys.onEnterPressed: footer.dialog.accept()
    }

    Connections {
        target: footer.dialog

        function onOpened() {
            ok.forceActiveFocus()
        }
        function onClosed() {
            if (footer.dialog.parent)
                footer.dialog.parent.forceActiveFocus()
        }
    }
}
