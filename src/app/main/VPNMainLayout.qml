import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The logged-in screen's layout: plan text and account menu on top; the connect button, the status
// and the regions in a column on the left; the map beside them in the full layout.
ColumnLayout {
    id: layout

    required property VelmoraController ctrl
    required property ContentViewModel vm
    required property VPNMainViewModel screen

    spacing: 8

    RowLayout {
        objectName: "topBar"
        Layout.fillWidth: true
        Layout.topMargin: 8

        // Always in the row, so that the row never sees an item come or go: Qt 6.4's layout
        // can miss one that turns visible while the window is being resized.
        Item {
            Layout.fillWidth: true
            implicitHeight: planText.implicitHeight

            Label {
                id: planText
                objectName: "planText"
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                visible: !layout.screen.compact
                leftPadding: 60
                text: layout.ctrl.subscription
                textFormat: Text.PlainText
                elide: Text.ElideRight
                font.pixelSize: Theme.subtitleSize
            }
        }

        AccountMenu {
            Layout.rightMargin: 20
            ctrl: layout.ctrl
            vm: layout.vm
            screen: layout.screen
        }
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.fillHeight: true
        spacing: 0

        ColumnLayout {
            objectName: "leftColumn"
            Layout.preferredWidth: 300
            Layout.maximumWidth: 300
            Layout.fillHeight: true
            spacing: 8

            ConnectionStatusView {
                Layout.fillWidth: true
                ctrl: layout.ctrl
            }

            VPNRegionsView {
                Layout.fillWidth: true
                Layout.fillHeight: true
                ctrl: layout.ctrl
            }
        }

        // The map, made only for the full layout.
        Loader {
            objectName: "mapColumn"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: !layout.screen.compact
            active: visible
            Component.onCompleted: setSource(Qt.resolvedUrl("../map/MapView.qml"), {ctrl: layout.ctrl})
        }
    }
}
