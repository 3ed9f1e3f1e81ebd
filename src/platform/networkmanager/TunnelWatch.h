#pragma once
// Tells whether an activated tunnel still carries traffic back: strongSwan under NetworkManager leaves
// dead-peer detection off, so a responder that vanished would otherwise leave the tunnel "Connected".

#include <QDBusConnection>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

class TunnelWatch : public QObject
{
    Q_OBJECT
public:
    TunnelWatch(const QDBusConnection &bus, QObject *parent);

    // Watches the tunnel of the active VPN connection at activePath, through the name server or
    // gateway that NetworkManager reports inside it; without either there is nothing to ask.
    void watch(const QDBusConnection &bus, const QString &activePath);
    void stop();

Q_SIGNALS:
    // The tunnel's far side stopped answering; watching has stopped.
    void tunnelDead();

private:
    void probe();
    void probed(bool answered);

    QDBusConnection m_bus;
    QTimer *m_timer;
    QTcpSocket *m_socket = nullptr;
    QHostAddress m_source;
    QHostAddress m_target;
    quint64 m_generation = 0;
    int m_failures = 0;
};
