import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Window
import Velmora

// The pricing sheet: the service's plans side by side, each bought on the web checkout page; the
// failure text with Retry while there is no plan. Takes the size of its content, up to the screen's.
Pane {
    id: view
    objectName: "pricingView"

    required property VelmoraController ctrl
    required property Services services

    focus: true
    padding: 16

    PricingViewModel {
        id: screen
        objectName: "pricingScreen"
        services: view.services
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 20

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16

            Item { Layout.fillWidth: true }
            CloseButton {
                objectName: "pricingClose"
                onClicked: view.ctrl.showPricing = !view.ctrl.showPricing
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.margins: 16
            visible: screen.empty
            spacing: 20

            Label {
                objectName: "pricingFailure"
                Layout.alignment: Qt.AlignHCenter
                text: qsTr("Failed to load pricing plans.")
                color: Theme.errorText
            }
            PrimaryButton {
                cornerRadius: height / 2
                padding: 8
                objectName: "pricingRetry"
                Layout.alignment: Qt.AlignHCenter
                text: qsTr("Retry")
                onClicked: screen.retry()
            }
        }

        PlanCards {
            objectName: "planCards"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            // The sheet is never wider than the screen.
            room: Screen.desktopAvailableWidth - 2 * view.padding - 32
            visible: !screen.empty
            focus: true
            model: screen
        }
    }
}
