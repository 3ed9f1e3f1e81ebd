#include "NotificationCenter.h"

#include <QMutexLocker>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const QString &name, QObject *context, Handler handler)
{
    Q_ASSERT(context);
    quint64 id;
    {
        QMutexLocker lock(&m_mutex);
        id = m_nextId++;
        m_observers[name].append({id, context, std::make_shared<Handler>(std::move(handler))});
    }
    QObject::connect(
        context, &QObject::destroyed, context,
        [this, id] { removeWhere([id](const Observer &o) { return o.id == id; }); }, Qt::DirectConnection);
}

void NotificationCenter::removeObserver(QObject *context)
{
    removeWhere([context](const Observer &o) { return o.context == context; });
}

void NotificationCenter::post(const QString &name, QObject *object)
{
    QList<Observer> targets;
    {
        QMutexLocker lock(&m_mutex);
        targets = m_observers.value(name);
    }
    // Handlers run outside the lock: they may post, observe or destroy observers themselves.
    for (const Observer &observer : targets) {
        if (!observer.context)
            continue;
        {
            QMutexLocker lock(&m_mutex);
            const auto &current = m_observers.value(name);
            const bool stillThere = std::any_of(current.begin(), current.end(),
                                                [&](const Observer &o) { return o.id == observer.id; });
            if (!stillThere)
                continue;
        }
        (*observer.handler)(object);
    }
}

void NotificationCenter::removeWhere(const std::function<bool(const Observer &)> &predicate)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_observers.begin(); it != m_observers.end(); ++it)
        it->removeIf(predicate);
}
