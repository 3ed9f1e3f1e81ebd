import QtQuick
import QtQuick.Controls.Basic

ApplicationWindow {
    width: 800
    height: 500
    visible: true
    title: qsTr("Velmora")
}
