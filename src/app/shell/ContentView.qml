import QtQuick
import Velmora

// The window's content: the login screen or the main screen, as the root model says; each switch
// makes the new screen afresh.
FocusScope {
    id: root

    required property ContentViewModel vm
    required property Services services

    Loader {
        id: screen
        objectName: "screen"
        anchors.fill: parent
        focus: true

        property int shownState: -1

        // The main screen comes by address rather than as a component of this file, so that its many
        // types are loaded only when it is first shown and the login screen's first frame does not
        // wait for them.
        function show() {
            if (root.vm.state === shownState)
                return
            shownState = root.vm.state
            if (shownState === ContentViewModel.LoggedIn)
                setSource(Qt.resolvedUrl("../main/VPNMainView.qml"), {vm: root.vm, services: root.services})
            else
                sourceComponent = loginScreen
        }

        Component.onCompleted: show()
    }

    Connections {
        target: root.vm

        function onStateChanged() {
            screen.show()
        }
    }

    Component {
        id: loginScreen

        LoginView {
            vm: root.vm
            services: root.services
        }
    }
}
