#pragma once
// Keeps every window of the application out of the maximised state, whatever asked for it: a
// window's hints only ask the window manager not to offer maximising, and not every one obeys.

#include <QObject>

class ZoomGuard : public QObject
{
    Q_OBJECT

public:
    // Guards every window of the application from now on; once is enough.
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
