#pragma once
// The VPN layer's connection to the system bus: notices when the bus goes away and connects again
// once it is back, so that a restarted bus does not leave the application talking to nothing.

#include <QDBusConnection>
#include <QObject>

#include <functional>

class QTimer;

class SystemBus : public QObject
{
    Q_OBJECT
public:
    using Connect = std::function<QDBusConnection()>;

    // connect makes a new connection to the bus; without it a lost bus stays lost.
    SystemBus(const QDBusConnection &bus, Connect connect, QObject *parent = nullptr);

    [[nodiscard]] QDBusConnection connection() const { return m_bus; }

Q_SIGNALS:
    // connection() no longer reaches the bus.
    void lost();
    // connection() is a new one that reaches the bus.
    void reconnected();

private Q_SLOTS:
    void check();

private:
    void watch();

    QDBusConnection m_bus;
    Connect m_connect;
    QTimer *m_timer;
    bool m_lost = false;
};
