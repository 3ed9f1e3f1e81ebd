#include "AppIcon.h"

#include "MainQueue.h"

#include <QMutex>
#include <QMutexLocker>

#include <memory>

namespace {

struct State
{
    QMutex mutex;
    QString current;
    std::shared_ptr<const AppIcon::Handler> handler;
};

State &state()
{
    static State instance;
    return instance;
}

} // namespace

namespace AppIcon {

void set(const QString &name)
{
    std::shared_ptr<const Handler> handler;
    {
        QMutexLocker lock(&state().mutex);
        state().current = name;
        handler = state().handler;
    }
    if (!handler)
        return;
    if (MainQueue::isMainThread())
        (*handler)(name);
    else
        MainQueue::async([handler, name] { (*handler)(name); });
}

QString current()
{
    QMutexLocker lock(&state().mutex);
    return state().current;
}

void setHandler(Handler handler)
{
    QMutexLocker lock(&state().mutex);
    state().handler = handler ? std::make_shared<const Handler>(std::move(handler)) : nullptr;
}

} // namespace AppIcon
