#pragma once
// One running copy per user session: the first copy owns the session bus name io.velmora.Velmora
// and answers org.freedesktop.Application.Activate; a later launch asks it to come to the front
// and ends. With no session bus, a lock file under $XDG_RUNTIME_DIR keeps later copies out.

#include <QLockFile>
#include <QObject>
#include <QVariantMap>

#include <memory>

class SingleInstance : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when no other copy runs: this one is now the session's copy. False when another copy
    // runs; it has been asked to come to the front.
    [[nodiscard]] bool claim();

    // The lock file used where there is no session bus.
    [[nodiscard]] static QString lockPath();

public Q_SLOTS:
    // The desktop's request, over the session bus, to bring the application to the front.
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);

Q_SIGNALS:
    void activated();

private:
    [[nodiscard]] bool claimBusName();
    [[nodiscard]] bool claimLockFile();

    std::unique_ptr<QLockFile> m_lock;
};
