import QtQuick
import Velmora

// Every region as a marker titled with its city, the current one green with a shield; the map goes
// to each new current region. Choosing a marker only selects it.
WorldMap {
    id: map
    objectName: "regionMap"

    required property VelmoraController ctrl

    camera: regions.position
    markers: regions.markers
    selectable: true
    selectedTag: regions.selection
    onSelectedTagChanged: regions.selection = selectedTag
    Accessible.role: Accessible.Graphic
    Accessible.name: qsTr("Map of the VPN regions")

    MapViewForMacOS14Model {
        id: regions
        objectName: "regionMapModel"
        ctrl: map.ctrl
    }
}
