import QtQuick
import Velmora

// The main screen's region map: the current kind, or the older one when VELMORA_LEGACY_MAP is set.
Loader {
    id: view

    required property VelmoraController ctrl

    // The land's triangles have rough edges on the graphics hardware: drawn into a multisampled
    // layer, they come out smooth. The software renderer smooths them itself.
    layer.enabled: GraphicsInfo.api !== GraphicsInfo.Software
    layer.samples: 4

    Component.onCompleted: setSource(Qt.resolvedUrl(MapChoice.legacy ? "MapViewLegacy.qml" : "MapViewForMacOS14.qml"),
                                     {ctrl: view.ctrl})
}
