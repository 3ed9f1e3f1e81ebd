import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// One region of the list: flag, country name in bold (the optimal region's on two lines), city.
ItemDelegate {
    id: row

    required property int index
    required property var regionId
    required property string countryName
    required property string city
    required property url flag
    required property bool selected

    highlighted: selected
    padding: 4
    Accessible.role: Accessible.ListItem
    Accessible.name: countryName + ", " + city
    Accessible.selected: selected

    // Where the keyboard is in the list.
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: row.palette.highlight
        border.width: 2
        visible: row.ListView.isCurrentItem && row.ListView.view.activeFocus
    }

    contentItem: RowLayout {
        spacing: 8

        // The flag keeps its room when there is no image for the country.
        Item {
            objectName: "flagArea"
            Layout.preferredWidth: 50
            Layout.preferredHeight: 50

            Image {
                objectName: "flagImage"
                anchors.fill: parent
                source: row.flag
                sourceSize.width: 100
                fillMode: Image.PreserveAspectFit
                horizontalAlignment: Image.AlignLeft
            }
        }

        Rectangle {
            Layout.preferredWidth: 1
            Layout.fillHeight: true
            color: row.palette.mid
        }

        Label {
            objectName: "countryName"
            Layout.maximumWidth: row.availableWidth * 0.6
            text: row.countryName
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.pixelSize: Theme.bodySize
            font.bold: true
            color: row.highlighted ? row.palette.highlightedText : row.palette.windowText
        }

        Label {
            objectName: "city"
            Layout.fillWidth: true
            text: row.city
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.pixelSize: Theme.bodySize
            font.weight: Font.Light
            color: row.highlighted ? row.palette.highlightedText : row.palette.windowText
        }
    }
}
