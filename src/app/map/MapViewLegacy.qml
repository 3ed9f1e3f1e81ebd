import QtQuick
import Velmora

// Every region as an untitled marker, the current one green; the map goes to each new current region
// a moment later.
WorldMap {
    id: map
    objectName: "regionMap"

    required property VelmoraController ctrl

    camera: regions.mapRegion
    markers: regions.markers
    Accessible.role: Accessible.Graphic
    Accessible.name: qsTr("Map of the VPN regions")

    MapViewLegacyModel {
        id: regions
        objectName: "regionMapModel"
        ctrl: map.ctrl
    }
}
