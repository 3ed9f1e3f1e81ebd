import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The searchable list of regions; a click or Return on a row chooses that region.
ColumnLayout {
    id: view

    required property VelmoraController ctrl

    spacing: 6

    RegionListModel {
        id: regions
        objectName: "regionModel"
        controller: view.ctrl
        searchTerm: searchField.text
        onSearchTermChanged: list.positionViewAtBeginning()
        onChosen: description => chosenAnnouncement.text = description
    }

    Component.onCompleted: regions.appear()

    Label {
        objectName: "regionsTitle"
        Layout.alignment: Qt.AlignHCenter
        leftPadding: 10
        text: qsTr("VPN Regions List:")
        font.pixelSize: Theme.bodySize
        font.bold: true
        readonly property int accessibleRole: Accessible.Heading

        Announcement {
            id: chosenAnnouncement
            objectName: "chosenAnnouncement"
        }
    }

    TextField {
        id: searchField
        objectName: "searchField"
        Layout.fillWidth: true
        Layout.margins: 2
        leftPadding: 30
        rightPadding: clearButton.visible ? clearButton.width + 8 : 8
        placeholderText: qsTr("Search by country or city...")
        font.pixelSize: Theme.bodySize
        Accessible.name: qsTr("Search by country or city")

        Image {
            x: 10
            anchors.verticalCenter: parent.verticalCenter
            width: 16
            height: 16
            sourceSize.width: 32
            sourceSize.height: 32
            source: Assets.symbol("magnifyingglass")
        }

        AbstractButton {
            id: clearButton
            objectName: "clearSearch"
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            width: 16
            height: 16
            visible: searchField.length > 0
            focusPolicy: Qt.NoFocus
            Accessible.name: qsTr("Clear search")
            onClicked: searchField.clear()

            contentItem: Image {
                sourceSize.width: 32
                sourceSize.height: 32
                source: Assets.symbol("xmark.circle.fill")
            }
        }
    }

    ListView {
        id: list
        objectName: "regionList"
        Layout.fillWidth: true
        Layout.fillHeight: true
        clip: true
        model: regions
        activeFocusOnTab: true
        keyNavigationEnabled: true
        highlightMoveDuration: 0
        reuseItems: true
        boundsBehavior: Flickable.StopAtBounds
        Accessible.role: Accessible.List
        Accessible.name: qsTr("VPN Regions List:")
        Keys.onReturnPressed: regions.choose(currentIndex)
        Keys.onEnterPressed: regions.choose(currentIndex)
        Keys.onSpacePressed: regions.choose(currentIndex)
        ScrollBar.vertical: ScrollBar {
            Accessible.name: qsTr("Regions")
        }

        delegate: VPNRegionRow {
            width: ListView.view.width
            focusPolicy: Qt.NoFocus
            onClicked: ListView.view.model.choose(index)
        }
    }
}
