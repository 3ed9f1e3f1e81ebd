import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls.impl
import QtQuick.Layouts
import Velmora

// A password entry with an eye button that shows or masks the text; the text stays either way.
RowLayout {
    id: field

    required property string title
    property alias text: input.text
    property bool isSecure: true

    signal edited()

    spacing: 8

    EntryField {
        id: input
        objectName: field.objectName + "Input"
        Layout.fillWidth: true
        placeholderText: field.title
        echoMode: field.isSecure ? TextInput.Password : TextInput.Normal
        Accessible.name: field.title
        onTextEdited: field.edited()
    }

    AbstractButton {
        id: eye
        objectName: field.objectName + "Eye"
        implicitWidth: 24
        implicitHeight: 24
        focusPolicy: Qt.StrongFocus
        Accessible.role: Accessible.Button
        Accessible.name: field.isSecure ? qsTr("Show %1").arg(field.title) : qsTr("Hide %1").arg(field.title)
        onClicked: field.isSecure = !field.isSecure

        contentItem: IconImage {
            source: Assets.symbol(field.isSecure ? "eye.fill" : "eye.slash.fill")
            sourceSize.width: 20
            sourceSize.height: 20
            fillMode: Image.PreserveAspectFit
            color: Theme.symbol
        }
        background: Rectangle {
            visible: eye.visualFocus
            color: "transparent"
            border.color: Theme.focusRing
            radius: 2
        }
    }
}
