#pragma once
// The core's types as the screens see them: the controllers and the updater as QML types made only
// in C++, the connection status as an enumeration, the region values as value types.

#include "Location.h"
#include "LoginController.h"
#include "PricingController.h"
#include "Updater.h"
#include "VPNRegion.h"
#include "VelmoraController.h"
#include "VpnStatus.h"

#include <QAbstractListModel>
#include <QtQml/qqml.h>

struct VelmoraControllerForeign
{
    Q_GADGET
    QML_FOREIGN(VelmoraController)
    QML_NAMED_ELEMENT(VelmoraController)
    QML_UNCREATABLE("made by Services")
};

struct LoginControllerForeign
{
    Q_GADGET
    QML_FOREIGN(LoginController)
    QML_NAMED_ELEMENT(LoginController)
    QML_UNCREATABLE("made by Services")
};

struct PricingControllerForeign
{
    Q_GADGET
    QML_FOREIGN(PricingController)
    QML_NAMED_ELEMENT(PricingController)
    QML_UNCREATABLE("made by Services")
};

struct UpdaterForeign
{
    Q_GADGET
    QML_FOREIGN(Updater)
    QML_NAMED_ELEMENT(Updater)
    QML_UNCREATABLE("made by the application")
};

// The status's enumeration as an extension of a namespace of our own: Qt 6.4 writes registration
// code for a foreign namespace that does not compile, and its extension macro is for classes only.
namespace VpnStatusForeign {
Q_NAMESPACE
QML_NAMED_ELEMENT(VpnStatus)
Q_CLASSINFO("QML.Extended", "VpnState")
Q_CLASSINFO("QML.ExtensionIsNamespace", "true")
} // namespace VpnStatusForeign

struct VPNRegionForeign
{
    Q_GADGET
    QML_FOREIGN(VPNRegion)
    QML_VALUE_TYPE(vpnRegion)
};

struct LocationForeign
{
    Q_GADGET
    QML_FOREIGN(Location)
    QML_VALUE_TYPE(location)
};

// The list models' bases, which Qt 6.4 describes to no tool: without them the models' own types
// stay unknown to qmllint.
struct AbstractItemModelForeign
{
    Q_GADGET
    QML_FOREIGN(QAbstractItemModel)
    QML_ANONYMOUS
};

struct AbstractListModelForeign
{
    Q_GADGET
    QML_FOREIGN(QAbstractListModel)
    QML_ANONYMOUS
};
