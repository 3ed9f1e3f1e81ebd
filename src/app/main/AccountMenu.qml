import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls.impl
import QtQuick.Layouts
import Velmora

// The account's e-mail with a menu: the three sheets, a mail to support, logging out.
ToolButton {
    id: account

    required property VelmoraController ctrl
    required property ContentViewModel vm
    required property VPNMainViewModel screen

    objectName: "accountMenuButton"
    readonly property int accessibleRole: Accessible.ButtonMenu
    Accessible.name: screen.accountName
    Accessible.description: qsTr("Account menu")
    onClicked: menu.open()

    // Borderless: a background only while pointed at, pressed, open or reached by keyboard.
    background: Rectangle {
        radius: 4
        color: account.palette.button
        visible: account.down || account.hovered || account.visualFocus || menu.visible
    }

    contentItem: RowLayout {
        spacing: 6

        Label {
            objectName: "accountName"
            text: account.screen.accountName
            textFormat: Text.PlainText
            elide: Text.ElideRight
            Layout.maximumWidth: 220
            font.pixelSize: Theme.bodySize
        }

        IconImage {
            Layout.preferredWidth: 26
            Layout.preferredHeight: 26
            sourceSize.width: 52
            sourceSize.height: 52
            source: Assets.symbol("person.crop.circle.fill")
            color: Theme.accountSymbol
        }
    }

    Menu {
        id: menu
        objectName: "accountMenu"
        title: qsTr("Account menu")
        y: account.height

        MenuItem {
            objectName: "redeemItem"
            text: qsTr("Redeem Code")
            icon.source: Assets.symbol("rectangle.and.pencil.and.ellipsis.rtl")
            onTriggered: {
                account.ctrl.code = ""
                account.ctrl.showRedeem = !account.ctrl.showRedeem
            }
        }
        MenuItem {
            objectName: "settingsItem"
            text: qsTr("Settings")
            icon.source: Assets.symbol("gearshape")
            onTriggered: account.ctrl.showSettings = !account.ctrl.showSettings
        }
        MenuItem {
            objectName: "pricingItem"
            text: qsTr("Pricing")
            icon.source: Assets.symbol("cart")
            onTriggered: account.ctrl.showPricing = !account.ctrl.showPricing
        }
        MenuItem {
            objectName: "supportItem"
            text: qsTr("Customer support")
            icon.source: Assets.symbol("envelope")
            onTriggered: SupportMail.compose()
        }
        MenuItem {
            objectName: "logOutItem"
            text: qsTr("Log out")
            icon.source: Assets.symbol("rectangle.portrait.and.arrow.right")
            onTriggered: account.screen.logOut(account.vm)
        }
    }
}
