import QtQuick

// A busy spinner that steps an eighth of a turn ten times a second. A running animation would have
// the whole window, the region map with it, drawn as often as the screen allows.
Item {
    id: spinner

    property bool running: true
    property int step: 0

    component Dot: Rectangle {
        // Eighths of a turn from the top, clockwise; later dots fade.
        property int turn: 0

        width: parent.width / 6
        height: width
        radius: width / 2
        color: "#606060"
        opacity: 1 - turn / 9
        x: (parent.width - width) / 2 * (1 + Math.sin(-turn * Math.PI / 4))
        y: (parent.height - height) / 2 * (1 - Math.cos(-turn * Math.PI / 4))
    }

    implicitWidth: 48
    implicitHeight: 48

    Item {
        anchors.fill: parent
        rotation: spinner.step * 45

        Dot { turn: 0 }
        Dot { turn: 1 }
        Dot { turn: 2 }
        Dot { turn: 3 }
        Dot { turn: 4 }
        Dot { turn: 5 }
        Dot { turn: 6 }
        Dot { turn: 7 }
    }

    Timer {
        interval: 100
        repeat: true
        running: spinner.running && spinner.visible
        onTriggered: spinner.step = (spinner.step + 1) % 8
    }
}
