import QtQuick
import Velmora

// The account menu's three sheets over the main window, each shown while its flag on the controller
// is up; closing one in any way lowers its flag.
Item {
    id: sheets

    required property VelmoraController ctrl
    required property Services services

    Sheet {
        id: redeem
        objectName: "redeemSheet"
        title: qsTr("Redeem Code")
        transientParent: sheets.Window.window
        shown: sheets.ctrl.showRedeem
        width: RedeemSheetSize.min.width
        height: RedeemSheetSize.min.height
        minimumWidth: RedeemSheetSize.min.width
        minimumHeight: RedeemSheetSize.min.height
        maximumWidth: RedeemSheetSize.max.width
        maximumHeight: RedeemSheetSize.max.height
        onDismissed: sheets.ctrl.showRedeem = false
        content: Qt.resolvedUrl("RedeemCodeView.qml")
        contentProperties: ({ctrl: sheets.ctrl})
    }

    Sheet {
        id: settings
        objectName: "settingsSheet"
        title: qsTr("Settings")
        transientParent: sheets.Window.window
        shown: sheets.ctrl.showSettings
        width: 600
        height: 400
        minimumWidth: 600
        minimumHeight: 400
        onDismissed: sheets.ctrl.showSettings = false
        content: Qt.resolvedUrl("SettingsView.qml")
        contentProperties: ({ctrl: sheets.ctrl, services: sheets.services, mainWindow: settings.transientParent})
    }

    Sheet {
        id: pricing
        objectName: "pricingSheet"
        title: qsTr("Pricing")
        transientParent: sheets.Window.window
        shown: sheets.ctrl.showPricing
        fitsContent: true
        onDismissed: sheets.ctrl.showPricing = false
        content: Qt.resolvedUrl("PricingView.qml")
        contentProperties: ({ctrl: sheets.ctrl, services: sheets.services})
    }
}
