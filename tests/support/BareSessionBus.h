#pragma once
// A private session bus of the test's own with no services on it and none to start, for code
// that must cope with a missing peer.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class BareSessionBus
{
public:
    BareSessionBus()
    {
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(
            QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                .arg(m_dir.path())
                .toUtf8());
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config.fileName(),
                        QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {}
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~BareSessionBus()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    BareSessionBus(const BareSessionBus &) = delete;
    BareSessionBus &operator=(const BareSessionBus &) = delete;

    // Empty when the daemon did not start.
    [[nodiscard]] QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
