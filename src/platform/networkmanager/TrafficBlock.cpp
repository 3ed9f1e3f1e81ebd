#include "TrafficBlock.h"

#include "Console.h"
#include "NetworkManagerDBus.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QUuid>

#include <sys/socket.h>

namespace nm = NetworkManagerDBus;

namespace {

// strongSwan routes the tunnel through table 220, looked up at priority 220: the block's rules come
// after it, so that what the tunnel takes passes while it is up, and before the main table.
constexpr uint exceptionPriority = 32000;
constexpr uint blockPriority = 32001;
constexpr uint mainTable = 254;
constexpr uchar prohibit = 8;
constexpr uchar udp = 17;
constexpr uchar esp = 50;
constexpr ushort ikePort = 500;
constexpr ushort natTraversalPort = 4500;
const QString interfaceName = QStringLiteral("velmora-block");
constexpr int quitTimeout = 2000;
// AddConnection2's and Update2's flags.
constexpr uint inMemory = 0x2;
constexpr uint isVolatile = 0x10;
constexpr uint blockAutoconnect = 0x20;

QList<QVariantMap> rules(int family, const QList<QHostAddress> &server)
{
    QList<QVariantMap> rules;
    const auto rule = [family](uint priority) {
        return QVariantMap{{QStringLiteral("family"), family}, {QStringLiteral("priority"), priority}};
    };
    const bool inet = family == AF_INET;
    for (const QHostAddress &address : server) {
        if ((address.protocol() == QAbstractSocket::IPv4Protocol) != inet)
            continue;
        QVariantMap toServer = rule(exceptionPriority);
        toServer.insert(QStringLiteral("to"), address.toString());
        toServer.insert(QStringLiteral("to-len"), QVariant::fromValue(uchar(inet ? 32 : 128)));
        toServer.insert(QStringLiteral("table"), mainTable);
        for (const ushort port : {ikePort, natTraversalPort}) {
            QVariantMap ike = toServer;
            ike.insert(QStringLiteral("ipproto"), QVariant::fromValue(udp));
            ike.insert(QStringLiteral("dport-start"), QVariant::fromValue(port));
            ike.insert(QStringLiteral("dport-end"), QVariant::fromValue(port));
            rules.append(ike);
        }
        toServer.insert(QStringLiteral("ipproto"), QVariant::fromValue(esp));
        rules.append(toServer);
    }
    QVariantMap block = rule(blockPriority);
    block.insert(QStringLiteral("action"), QVariant::fromValue(prohibit));
    rules.append(block);
    return rules;
}

NMSettings blockSettings(const QList<QHostAddress> &server)
{
    const auto ip = [&server](int family) {
        return QVariantMap{{QStringLiteral("method"), QStringLiteral("disabled")},
                           {QStringLiteral("routing-rules"), QVariant::fromValue(rules(family, server))}};
    };
    return {
        {QStringLiteral("connection"),
         {{QStringLiteral("id"), TrafficBlock::name},
          {QStringLiteral("uuid"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
          {QStringLiteral("type"), QStringLiteral("bridge")},
          {QStringLiteral("interface-name"), interfaceName},
          {QStringLiteral("autoconnect"), false},
          {QStringLiteral("permissions"), QStringList{nm::ownerPermission()}}}},
        {QStringLiteral("bridge"), {{QStringLiteral("stp"), false}}},
        {QStringLiteral("ipv4"), ip(AF_INET)},
        {QStringLiteral("ipv6"), ip(AF_INET6)},
    };
}

// The active connections of blocks, of this run or an earlier one, that are not on their way down.
QStringList activeBlocks(const QDBusMessage &reply)
{
    QStringList paths;
    if (reply.type() == QDBusMessage::ErrorMessage)
        return paths;
    const nm::ManagedObjects objects = nm::managedObjects(reply);
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const QVariantMap active = it.value().value(nm::activeInterface);
        if (active.value(QStringLiteral("Id")).toString() == TrafficBlock::name
            && active.value(QStringLiteral("Type")).toString() == QLatin1String("bridge")
            && active.value(QStringLiteral("State")).toUInt() <= nm::activeActivated)
            paths.append(it.key().path());
    }
    return paths;
}

} // namespace

TrafficBlock::TrafficBlock(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(QString())
{
    nm::registerTypes();
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &TrafficBlock::liftNow);
    setBus(bus);
}

void TrafficBlock::setBus(const QDBusConnection &bus)
{
    m_bus = bus;
    // What this process raised went with the old connection's NetworkManager, or is found anew.
    m_activePath.clear();
    m_raisedFor.reset();
    m_lifting.clear();
    if (m_bus.isConnected())
        m_bus.connect(nm::service, {}, nm::activeInterface, QStringLiteral("StateChanged"), this,
                      SLOT(onStateChanged(uint, uint, QDBusMessage)));
}

void TrafficBlock::raise(const QList<QHostAddress> &server)
{
    m_wanted = true;
    m_server = server;
    reconcile();
}

void TrafficBlock::lift()
{
    m_wanted = false;
    reconcile();
}

void TrafficBlock::reconcile()
{
    if (m_busy) {
        m_again = true;
        return;
    }
    if (!m_bus.isConnected())
        return;
    m_busy = true;
    nm::call(m_bus, this, nm::objectManagerPath, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
             QStringLiteral("GetManagedObjects"), {}, [this](const QDBusMessage &reply) { found(reply); });
}

void TrafficBlock::found(const QDBusMessage &reply)
{
    QStringList stale = activeBlocks(reply);
    const bool keep = m_wanted && m_raisedFor == m_server && stale.removeAll(m_activePath) > 0;
    for (const QString &path : std::as_const(stale))
        deactivate(path);
    if (!keep) {
        m_activePath.clear();
        m_raisedFor.reset();
    }
    if (!m_wanted || keep || reply.type() == QDBusMessage::ErrorMessage) {
        settled();
        return;
    }
    const QList<QHostAddress> server = m_server;
    nm::call(m_bus, this, nm::settingsPath, nm::settingsInterface, QStringLiteral("AddConnection2"),
             {QVariant::fromValue(blockSettings(server)), inMemory | blockAutoconnect, QVariantMap()},
             [this, server](const QDBusMessage &added) {
                 if (added.type() == QDBusMessage::ErrorMessage) {
                     refused(added);
                     return;
                 }
                 activate(added.arguments().value(0).value<QDBusObjectPath>().path(), server);
             });
}

void TrafficBlock::activate(const QString &profile, const QList<QHostAddress> &server)
{
    const QDBusObjectPath none(QStringLiteral("/"));
    nm::call(
        m_bus, this, nm::managerPath, nm::managerInterface, QStringLiteral("ActivateConnection"),
        {QVariant::fromValue(QDBusObjectPath(profile)), QVariant::fromValue(none), QVariant::fromValue(none)},
        [this, profile, server](const QDBusMessage &activated) {
            if (activated.type() == QDBusMessage::ErrorMessage) {
                nm::call(m_bus, this, profile, nm::connectionInterface, QStringLiteral("Delete"), {},
                         [](const QDBusMessage &) {});
                refused(activated);
                return;
            }
            m_activePath = activated.arguments().value(0).value<QDBusObjectPath>().path();
            m_raisedFor = server;
            // Volatile once up: NetworkManager forgets the profile as soon as the block is down,
            // however it went down.
            nm::call(m_bus, this, profile, nm::connectionInterface, QStringLiteral("Update2"),
                     {QVariant::fromValue(NMSettings()), inMemory | isVolatile, QVariantMap()},
                     [](const QDBusMessage &) {});
            settled();
        });
}

void TrafficBlock::refused(const QDBusMessage &reply)
{
    Console::print(QStringLiteral("The kill switch cannot block traffic: ") + nm::errorText(reply));
    settled();
}

void TrafficBlock::settled()
{
    m_busy = false;
    if (std::exchange(m_again, false))
        reconcile();
}

void TrafficBlock::deactivate(const QString &activePath)
{
    m_lifting.append(activePath);
    nm::call(m_bus, this, nm::managerPath, nm::managerInterface, QStringLiteral("DeactivateConnection"),
             {QVariant::fromValue(QDBusObjectPath(activePath))}, [](const QDBusMessage &) {});
}

void TrafficBlock::onStateChanged(uint state, uint, const QDBusMessage &message)
{
    if (state < nm::activeDeactivating)
        return;
    const QString path = message.path();
    if (m_lifting.removeAll(path) > 0 || path != m_activePath)
        return;
    m_activePath.clear();
    m_raisedFor.reset();
    if (std::exchange(m_wanted, false))
        Q_EMIT liftedOutside();
}

void TrafficBlock::liftNow()
{
    m_wanted = false;
    if (m_activePath.isEmpty() || !m_bus.isConnected())
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(nm::service, nm::managerPath, nm::managerInterface,
                                                          QStringLiteral("DeactivateConnection"));
    message.setArguments({QVariant::fromValue(QDBusObjectPath(m_activePath))});
    m_bus.call(message, QDBus::Block, quitTimeout);
}
