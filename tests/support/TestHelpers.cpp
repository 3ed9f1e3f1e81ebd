#include "TestHelpers.h"

#include "MainQueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <memory>

namespace TestHelpers {

StandInService::Answer jsonAnswer(int status, const QByteArray &body)
{
    return {status, body, 0, false, {{"Content-Type", "application/json"}}};
}

bool runQueued()
{
    auto turned = std::make_shared<bool>(false);
    MainQueue::async([turned] { *turned = true; });
    return QTest::qWaitFor([turned] { return *turned; }, 60000);
}

StandInService::Answer closedConnection()
{
    StandInService::Answer closed;
    closed.closeConnection = true;
    return closed;
}

bool startForClient(StandInService &service)
{
    if (!service.start())
        return false;
    qputenv("VELMORA_API_URL", service.apiUrl().toUtf8());
    qputenv("VELMORA_UPDATE_FEED", service.updateFeedUrl().toUtf8());
    qputenv("VELMORA_UPDATE_PUBLIC_KEY", service.updatePublicKey());
    return true;
}

std::optional<QByteArray> secretTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

bool writeFile(const QString &root, const QString &path, const std::optional<QByteArray> &contents)
{
    QFile file(QDir(root).filePath(path));
    if (!QDir().mkpath(QFileInfo(file).path()))
        return false;
    return !contents || (file.open(QIODevice::WriteOnly) && file.write(*contents) == contents->size());
}

} // namespace TestHelpers
