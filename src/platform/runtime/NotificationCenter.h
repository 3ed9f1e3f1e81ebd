#pragma once
// Named in-process notifications ("logout", "showLoginView", the VPN status change).
// Delivery is synchronous on the posting thread; an observer goes away with its context object.

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <algorithm>
#include <functional>
#include <memory>

class NotificationCenter
{
public:
    using Handler = std::function<void(QObject *object)>;

    static NotificationCenter &defaultCenter();

    // Calls handler for every later post of name, until context is destroyed or removed.
    void addObserver(const QString &name, QObject *context, Handler handler);
    void removeObserver(QObject *context);
    void post(const QString &name, QObject *object = nullptr);

private:
    struct Observer
    {
        quint64 id;
        QPointer<QObject> context;
        std::shared_ptr<Handler> handler;
    };

    void removeWhere(const std::function<bool(const Observer &)> &predicate);

    QMutex m_mutex;
    quint64 m_nextId = 1;
    QHash<QString, QList<Observer>> m_observers;
};
