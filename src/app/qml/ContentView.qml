import QtQuick
import Velmora

// The window's content: the login screen or the main screen, as the root model says; each switch
// makes the new screen afresh.
FocusScope {
    id: root

    required property ContentViewModel vm
    required property Services services

    Loader {
        objectName: "screen"
        anchors.fill: parent
        focus: true
        sourceComponent: root.vm.state === ContentViewModel.LoggedIn ? mainScreen : loginScreen
    }

    Component {
        id: loginScreen

        LoginView {
            vm: root.vm
            services: root.services
        }
    }

    Component {
        id: mainScreen

        VPNMainView {
            vm: root.vm
            services: root.services
        }
    }
}
