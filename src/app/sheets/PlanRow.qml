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

    // A line of the card, cut only when it is wider than the screen.
    component PlanLine: Label {
        Layout.fillWidth: true
        horizontalAlignment: Text.AlignHCenter
        textFormat: Text.PlainText
        elide: Text.ElideRight
    }

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

        PlanLine {
            objectName: "planName"
            text: card.name
            font.bold: true
        }
        PlanLine {
            objectName: "planDuration"
            text: card.duration
        }
        PlanLine {
            objectName: "planPrice"
            text: card.priceLine
            font.pixelSize: Theme.priceSize
        }
        Repeater {
            model: card.benefitLines

            PlanLine {
                required property string modelData
                text: modelData
                font.pixelSize: Theme.footnoteSize
            }
        }
        Item {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: getButton.implicitWidth
            implicitHeight: 50

            Item {
                anchors.centerIn: parent
                width: getButton.implicitWidth
                height: getButton.implicitHeight

                // A soft shadow of radius 10 around the capsule, black at a third.
                Repeater {
                    model: 5

                    Rectangle {
                        required property int index
                        anchors.fill: parent
                        anchors.margins: -2 * (index + 1)
                        radius: height / 2
                        color: Theme.shadowLayer
                    }
                }
                PrimaryButton {
                    id: getButton
                    objectName: "getButton"
                    anchors.fill: parent
                    cornerRadius: height / 2
                    padding: 8
                    text: qsTr("   Get   ")
                    Accessible.name: qsTr("Get %1").arg(card.name)
                    onClicked: card.buy()
                }
            }
        }
    }
}
