import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls.impl
import Velmora

// A sheet's close button: the grey cross in a circle, 20 × 20, without a bezel.
AbstractButton {
    id: button

    implicitWidth: 20
    implicitHeight: 20
    padding: 0
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: qsTr("Close")

    contentItem: IconImage {
        source: Assets.symbol("xmark.circle.fill")
        sourceSize.width: 40
        sourceSize.height: 40
        color: button.down ? Theme.closeSymbolPressed : Theme.closeSymbol
    }
    background: Rectangle {
        radius: width / 2
        color: "transparent"
        border.width: button.visualFocus ? 2 : 0
        border.color: Theme.focusRing
    }
}
