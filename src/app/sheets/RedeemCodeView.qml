import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The redeem sheet: a code typed into the controller's `code`, sent with Redeem (or Return), which
// also closes the sheet; the answer comes later in the main screen's alert.
Pane {
    id: view
    objectName: "redeemCodeView"

    required property VelmoraController ctrl

    focus: true
    padding: 0

    function redeem() {
        view.ctrl.redeemCode()
        view.ctrl.showRedeem = !view.ctrl.showRedeem
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        onActivated: view.redeem()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 10

            Item { Layout.fillWidth: true }
            CloseButton {
                objectName: "redeemClose"
                onClicked: view.ctrl.showRedeem = !view.ctrl.showRedeem
            }
        }

        Item { Layout.fillHeight: true }

        Label {
            objectName: "redeemTitle"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 50
            text: qsTr("Redeem a Subscription Code")
            font.bold: true
            readonly property int accessibleRole: Accessible.Heading
        }

        TextField {
            objectName: "codeField"
            Layout.fillWidth: true
            focus: true
            topPadding: 10
            bottomPadding: 10
            leftPadding: 16
            rightPadding: 16
            horizontalAlignment: TextInput.AlignHCenter
            placeholderText: qsTr("Code")
            Accessible.name: qsTr("Code")
            selectByMouse: true
            text: view.ctrl.code
            onTextEdited: view.ctrl.code = text

            background: Rectangle {
                radius: 2
                color: "transparent"
                border.width: 1
                border.color: Theme.fieldBorder
            }
        }

        Item { Layout.fillHeight: true }

        PrimaryButton {
            objectName: "redeemButton"
            Layout.fillWidth: true
            Layout.topMargin: 8
            Layout.bottomMargin: 10
            leadsOn: true
            text: qsTr("Redeem Code")
            onClicked: view.redeem()
        }
    }
}
