import QtQuick
import QtQuick.Controls.Basic

// A dialog's footer with its one button, OK, which accepts the dialog. Stands in for Qt's
// DialogButtonBox, which Qt 6.4 can crash in when it is destroyed while a screen reader runs.
// The open dialog holds the keyboard focus, so that Return or Escape closes it, and hands it back
// when it closes to the control that had it before: otherwise the keys reach nothing until Tab is
// pressed. What it covers takes the focus when that control is gone.
Item {
    id: footer

    required property Dialog dialog

    // Guarded by QML: null once the item is destroyed.
    property Item focusBefore: null

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

        // Before the dialog takes the focus for itself. The window's own root holding the focus
        // means that no control had it.
        function onAboutToShow() {
            const focused = footer.Window.activeFocusItem
            footer.focusBefore = focused !== footer.Window.contentItem ? focused : null
        }
        function onOpened() {
            ok.forceActiveFocus()
        }
        function onClosed() {
            const before = footer.focusBefore
            footer.focusBefore = null
            if (before && before.visible && before.enabled)
                before.forceActiveFocus()
            else if (footer.dialog.parent)
                footer.dialog.parent.forceActiveFocus()
        }
    }
}
