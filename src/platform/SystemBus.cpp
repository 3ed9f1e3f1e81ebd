#include "SystemBus.h"

#include <QTimer>

namespace {

// A lost bus shows within this time, and a returned one is tried as often.
constexpr int checkInterval = 1000;

} // namespace

SystemBus::SystemBus(const QDBusConnection &bus, Connect connect, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_connect(std::move(connect))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(checkInterval);
    QObject::connect(m_timer, &QTimer::timeout, this, &SystemBus::check);
    m_timer->start();
}

void SystemBus::check()
{
    if (!m_lost) {
        if (m_bus.isConnected())
            return;
        m_lost = true;
        Q_EMIT lost();
    }
    if (!m_connect) {
        m_timer->stop();
        return;
    }
    const QDBusConnection bus = m_connect();
    if (!bus.isConnected())
        return;
    m_bus = bus;
    m_lost = false;
    Q_EMIT reconnected();
}
