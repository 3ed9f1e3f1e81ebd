#include "SystemBus.h"

#include <QTimer>

namespace {

// A lost bus is tried again this often until it is back.
constexpr int retryInterval = 1000;

} // namespace

SystemBus::SystemBus(const QDBusConnection &bus, Connect connect, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_connect(std::move(connect))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(retryInterval);
    QObject::connect(m_timer, &QTimer::timeout, this, &SystemBus::check);
    watch();
}

void SystemBus::watch()
{
    // The D-Bus library tells its own connection that the bus went away; nothing to poll meanwhile.
    if (m_bus.isConnected())
        m_bus.connect({}, QStringLiteral("/org/freedesktop/DBus/Local"),
                      QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                      SLOT(check()));
    else
        m_timer->start();
}

void SystemBus::check()
{
    if (!m_lost) {
        if (m_bus.isConnected())
            return;
        m_lost = true;
        m_timer->start();
        Q_EMIT lost();
    }
    if (!m_connect) {
        m_timer->stop();
        return;
    }
    const QDBusConnection bus = m_connect();
    if (!bus.isConnected())
        return;
    m_timer->stop();
    m_bus = bus;
    m_lost = false;
    watch();
    Q_EMIT reconnected();
}
