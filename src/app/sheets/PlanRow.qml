import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// One plan's card: name, duration, price, the benefit lines and the button that buys it.
Rectangle {
    id: card

    required property int index
    required property string name
    required property string duration
    required property string priceLine
    required property var benefitLines

    signal buy()

    objectName: "planCard" + index
    implicitWidth: Math.max(160, column.implicitWidth + 32)
    implicitHeight: column.implicitHeight + 32
    radius: 8
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
    Accessible.role: Accessible.Grouping
    Accessible.name: name

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: parent.width - 32
        spacing: 10

        Label {
            objectName: "planName"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: 260
            text: card.name
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.bold: true
        }
        Label {
            objectName: "planDuration"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: 260
            text: card.duration
            textFormat: Text.PlainText
            elide: Text.ElideRight
        }
        Label {
            objectName: "planPrice"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: 260
            text: card.priceLine
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.pixelSize: Theme.priceSize
        }
        Repeater {
            model: card.benefitLines

            Label {
                required property string modelData
                Layout.alignment: Qt.AlignHCenter
                Layout.maximumWidth: 260
                text: modelData
                textFormat: Text.PlainText
                elide: Text.ElideRight
                font.pixelSize: Theme.footnoteSize
            }
        }
        Item {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: getButton.implicitWidth
            implicitHeight: 50

            // A soft shadow of radius 10 around the capsule, black at a third.
            Repeater {
                model: 5

                Rectangle {
                    required property int index
                    readonly property real spread: 2 * (index + 1)
                    x: getButton.x - spread
                    y: getButton.y - spread
                    width: getButton.width + 2 * spread
                    height: getButton.height + 2 * spread
                    radius: height / 2
                    color: Theme.shadowLayer
                }
            }
            PrimaryButton {
                cornerRadius: height / 2
                padding: 8
                id: getButton
                objectName: "getButton"
                anchors.centerIn: parent
                text: qsTr("   Get   ")
                Accessible.name: qsTr("Get %1").arg(card.name)
                onClicked: card.buy()
            }
        }
    }
}
