import QtQuick
import Velmora

Item {
    required property ContentViewModel vm
    required property Services services

    Text {
        anchors.centerIn: parent
        text: qsTr("Main screen")
    }
}
