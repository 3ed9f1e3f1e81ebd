#include "TunnelWatch.h"

#include "NetworkManagerDBus.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTcpSocket>
#include <QTimer>

namespace nm = NetworkManagerDBus;

namespace {

// A probe is a TCP connection attempt to port 53 of the far side: a refusal is an answer as good as
// an acceptance, and either comes back within milliseconds through a live tunnel. Two unanswered
// probes in a row, five seconds apart, make a dead tunnel: noticed 8 to 13 s after the far side died.
constexpr int probeInterval = 5000;
constexpr int probeTimeout = 3000;
constexpr int failuresToDeath = 2;
constexpr quint16 probePort = 53;

const QString ip4ConfigInterface = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");

QVariant unwrap(const QDBusMessage &reply)
{
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

// The "address" of each entry of an aa{sv} property such as AddressData or NameserverData.
QList<QHostAddress> addresses(const QVariant &value)
{
    QList<QHostAddress> found;
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return found;
    for (const QVariantMap &entry : qdbus_cast<QList<QVariantMap>>(value.value<QDBusArgument>())) {
        const QHostAddress address(entry.value(QStringLiteral("address")).toString());
        if (!address.isNull())
            found.append(address);
    }
    return found;
}

} // namespace

TunnelWatch::TunnelWatch(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(probeInterval);
    connect(m_timer, &QTimer::timeout, this, &TunnelWatch::probe);
}

void TunnelWatch::watch(const QDBusConnection &bus, const QString &activePath)
{
    stop();
    m_bus = bus;
    const quint64 generation = m_generation;
    const auto get = [this](const QString &path, const QString &interface, const QString &name,
                            std::function<void(const QDBusMessage &)> onReply) {
        nm::call(m_bus, this, path, nm::propertiesInterface, QStringLiteral("Get"), {interface, name},
                 std::move(onReply));
    };
    get(activePath, nm::activeInterface, QStringLiteral("Ip4Config"), [=, this](const QDBusMessage &reply) {
        const QString config = unwrap(reply).value<QDBusObjectPath>().path();
        if (generation != m_generation || config.isEmpty() || config == QLatin1String("/"))
            return;
        nm::call(m_bus, this, config, nm::propertiesInterface, QStringLiteral("GetAll"), {ip4ConfigInterface},
                 [=, this](const QDBusMessage &all) {
                     if (generation != m_generation || all.type() == QDBusMessage::ErrorMessage)
                         return;
                     const QVariantMap properties =
                         qdbus_cast<QVariantMap>(all.arguments().value(0).value<QDBusArgument>());
                     const QList<QHostAddress> own =
                         addresses(properties.value(QStringLiteral("AddressData")));
                     QList<QHostAddress> targets =
                         addresses(properties.value(QStringLiteral("NameserverData")));
                     const QHostAddress gateway(properties.value(QStringLiteral("Gateway")).toString());
                     if (!gateway.isNull())
                         targets.prepend(gateway);
                     if (own.isEmpty() || targets.isEmpty())
                         return;
                     m_source = own.first();
                     m_target = targets.first();
                     m_timer->start();
                 });
    });
}

void TunnelWatch::stop()
{
    ++m_generation;
    m_timer->stop();
    m_failures = 0;
    delete m_socket;
    m_socket = nullptr;
}

void TunnelWatch::probe()
{
    if (m_socket)
        return;
    m_socket = new QTcpSocket(this);
    // From the tunnel's own address, so that the probe takes the tunnel and nothing else.
    m_socket->bind(m_source);
    const auto finish = [this, socket = m_socket](bool answered) {
        if (socket == m_socket)
            probed(answered);
    };
    connect(m_socket, &QTcpSocket::connected, this, [finish] { finish(true); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this, finish](QAbstractSocket::SocketError error) {
        finish(error == QAbstractSocket::ConnectionRefusedError
               || error == QAbstractSocket::RemoteHostClosedError);
    });
    QTimer::singleShot(probeTimeout, m_socket, [finish] { finish(false); });
    m_socket->connectToHost(m_target, probePort);
}

void TunnelWatch::probed(bool answered)
{
    m_socket->deleteLater();
    m_socket->disconnect(this);
    m_socket = nullptr;
    m_failures = answered ? 0 : m_failures + 1;
    if (m_failures < failuresToDeath)
        return;
    stop();
    Q_EMIT tunnelDead();
}
