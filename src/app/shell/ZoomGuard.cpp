#include "ZoomGuard.h"

#include "MainQueue.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

void ZoomGuard::install()
{
    static ZoomGuard *guard = nullptr;
    if (guard)
        return;
    guard = new ZoomGuard(qApp);
    qApp->installEventFilter(guard);
}

bool ZoomGuard::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWindow *>(watched);
    if (!window)
        return false;
    if (event->type() == QEvent::Show && window->isTopLevel()) {
        const Qt::WindowFlags flags = window->flags();
        const Qt::WindowType type = window->type();
        if ((type == Qt::Window || type == Qt::Dialog)
            && (flags.testFlag(Qt::WindowMaximizeButtonHint) || !flags.testFlag(Qt::CustomizeWindowHint))) {
            // Without the customise hint the desktop adds its own buttons, maximise among them.
            Qt::WindowFlags kept = flags | Qt::CustomizeWindowHint;
            if (!flags.testFlag(Qt::CustomizeWindowHint)) {
                kept |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
                if (type == Qt::Window)
                    kept |= Qt::WindowMinimizeButtonHint;
            }
            window->setFlags(kept & ~Qt::WindowMaximizeButtonHint);
        }
    } else if (event->type() == QEvent::WindowStateChange
               && window->windowStates().testAnyFlags(Qt::WindowMaximized | Qt::WindowFullScreen)) {
        // Changing the state inside its own change notification is lost on some platforms.
        QPointer<QWindow> target(window);
        MainQueue::async([target] {
            if (target)
                target->setWindowStates(target->windowStates()
                                        & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        });
    }
    return false;
}
