#pragma once
// The kill switch's block: a bridge connection of the application's own in NetworkManager whose routing
// rules refuse, in both families, whatever the tunnel's routes do not take, but IKE and ESP to the server.

#include <QDBusConnection>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QDBusMessage;

class TrafficBlock : public QObject
{
    Q_OBJECT
public:
    // The block's name in the desktop's network menu.
    static inline const QString name = QStringLiteral("Velmora kill switch");

    TrafficBlock(const QDBusConnection &bus, QObject *parent);

    // Follows NetworkManager on another connection to the system bus.
    void setBus(const QDBusConnection &bus);
    // Keeps the block up, letting IKE and ESP through to server's addresses.
    void raise(const QList<QHostAddress> &server);
    // Takes down every block found, one an earlier run left behind included.
    void lift();

Q_SIGNALS:
    // Somebody else took the block down (the desktop's network menu, nmcli).
    void liftedOutside();

private Q_SLOTS:
    void onStateChanged(uint state, uint reason, const QDBusMessage &message);

private:
    // Brings NetworkManager's blocks in line with what is wanted, one round at a time.
    void reconcile();
    void found(const QDBusMessage &reply);
    void activate(const QString &profile, const QList<QHostAddress> &server);
    void refused(const QDBusMessage &reply);
    void settled();
    void deactivate(const QString &activePath);
    // For the application's quit: the block goes before the process does.
    void liftNow();

    QDBusConnection m_bus;
    bool m_wanted = false;
    QList<QHostAddress> m_server;
    // The block raised by this process, and the server it lets through.
    QString m_activePath;
    std::optional<QList<QHostAddress>> m_raisedFor;
    // Blocks this process is taking down: not somebody else's doing.
    QStringList m_lifting;
    bool m_busy = false;
    bool m_again = false;
};
