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

        // Each screen comes by address, so that the main screen's many types are loaded only when it
        // is first shown and the login screen's first frame does not wait for them.
        function show() {
            if (root.vm.state === shownState)
                return
            shownState = root.vm.state
            const address = shownState === ContentViewModel.LoggedIn ? "../main/VPNMainView.qml"
                                                                     : "../login/LoginView.qml"
            setSource(Qt.resolvedUrl(address), {vm: root.vm, services: root.services})
        }

        Component.onCompleted: show()
    }

    Connections {
        target: root.vm

        function onStateChanged() {
            screen.show()
        }
    }
}
