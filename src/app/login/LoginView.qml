import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The login screen: log in or sign up with e-mail and password; light whatever the desktop's scheme.
Pane {
    id: root
    objectName: "loginView"

    required property ContentViewModel vm
    required property Services services

    padding: 0
    focus: true
    palette.window: Theme.lightWindow
    palette.base: Theme.lightWindow
    palette.text: Theme.text
    palette.windowText: Theme.text
    palette.buttonText: Theme.text
    palette.button: Theme.lightButton
    palette.light: Theme.lightWindow
    palette.mid: Theme.lightMid
    palette.dark: Theme.lightDark
    palette.highlight: Theme.focusRing
    background: Rectangle { color: Theme.lightWindow }

    LoginViewModel {
        id: loginModel
        vm: root.vm
        services: root.services
    }

    Component.onCompleted: WindowFrame.resize(root.Window.window, 800, 500)

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: loginModel.mode !== LoginViewModel.Loading && !(loginModel.controller && loginModel.controller.loginError)
        onActivated: loginModel.submit()
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Item { Layout.fillWidth: true }

        ColumnLayout {
            Layout.fillWidth: false
            Layout.fillHeight: true
            Layout.preferredWidth: 280
            Layout.leftMargin: 50
            Layout.rightMargin: 50
            spacing: 6

            Item { Layout.fillHeight: true }
            Image {
                objectName: "logo"
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 128
                Layout.preferredHeight: 128
                source: Assets.image("logo")
                sourceSize.width: 256
                sourceSize.height: 256
                fillMode: Image.PreserveAspectFit
            }
            Label {
                objectName: "title"
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: 10
                Layout.bottomMargin: 10
                text: qsTr("Velmora")
                color: Theme.text
                font.pixelSize: Theme.largeTitleSize
                font.weight: Font.ExtraBold
                readonly property int accessibleRole: Accessible.Heading
            }
            Loader {
                objectName: "entryGroup"
                Layout.fillWidth: true
                active: loginModel.mode !== LoginViewModel.Loading
                visible: active
                focus: true
                Component.onCompleted: setSource(Qt.resolvedUrl("LoginForm.qml"), {model: loginModel})
            }
            Loader {
                Layout.alignment: Qt.AlignHCenter
                Layout.fillHeight: active
                active: loginModel.mode === LoginViewModel.Loading
                visible: active
                sourceComponent: ColumnLayout {
                    Item { Layout.fillHeight: true }
                    BusyIndicator {
                        objectName: "loadingIndicator"
                        Layout.alignment: Qt.AlignHCenter
                        Accessible.name: qsTr("Loading…")
                    }
                    Label {
                        objectName: "loadingLabel"
                        Layout.alignment: Qt.AlignHCenter
                        text: qsTr("Loading…")
                        color: Theme.text
                    }
                    Item { Layout.fillHeight: true }
                }
            }
            Item { Layout.fillHeight: true }
        }

        Rectangle {
            objectName: "logoPanel"
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Assets.rightBarColor

            Image {
                anchors.fill: parent
                anchors.margins: 24
                source: Assets.image("rightBarLogo")
                sourceSize.width: 512
                sourceSize.height: 512
                fillMode: Image.PreserveAspectFit
            }
        }
    }

    Loader {
        active: loginModel.controller !== null && loginModel.controller.loginError
        Component.onCompleted: setSource(Qt.resolvedUrl("LoginAlert.qml"), {parent: root, model: loginModel})
    }
}
