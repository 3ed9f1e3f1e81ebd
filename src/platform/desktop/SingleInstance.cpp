#include "SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString busName = QStringLiteral("io.velmora.Velmora");
const QString objectPath = QStringLiteral("/io/velmora/Velmora");
const QString interface = QStringLiteral("org.freedesktop.Application");
constexpr int activateTimeoutMs = 5000;

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    return QDBusConnection::sessionBus().isConnected() ? claimBusName() : claimLockFile();
}

QString SingleInstance::lockPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("velmora.lock"));
}

void SingleInstance::Activate(const QVariantMap &platformData)
{
    Q_UNUSED(platformData);
    Q_EMIT activated();
}

bool SingleInstance::claimBusName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Answering before the name is ours: a launch that finds the name can always reach this copy.
    bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    const auto reply = bus.interface()->registerService(busName, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    // A bus that cannot answer keeps no copy from running.
    if (!reply.isValid() || reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    bus.unregisterObject(objectPath);
    QDBusMessage activate =
        QDBusMessage::createMethodCall(busName, objectPath, interface, QStringLiteral("Activate"));
    activate << QVariantMap();
    bus.call(activate, QDBus::Block, activateTimeoutMs);
    return false;
}

bool SingleInstance::claimLockFile()
{
    const QString path = lockPath();
    QDir().mkpath(QFileInfo(path).path());
    m_lock = std::make_unique<QLockFile>(path);
    // Only a copy that still runs holds the lock, however long ago it took it.
    m_lock->setStaleLockTime(0);
    // A lock that cannot be made at all keeps no copy from running either.
    return m_lock->tryLock(0) || m_lock->error() != QLockFile::LockFailedError;
}
