#pragma once
// The application's updates: reads the update feed (VELMORA_UPDATE_FEED) when asked and, with
// automatic checks on, at start and once a day; offers a newer release for download, or with
// automatic downloads on fetches it into the cache and keeps it only when its signature holds.

#include "Appcast.h"
#include "Configuration.h"
#include "HttpFetch.h"
#include "UpdateOutcome.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class PartialDownload;

class Updater : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(bool automaticallyDownloadsUpdates READ automaticallyDownloadsUpdates WRITE
                   setAutomaticallyDownloadsUpdates NOTIFY automaticallyDownloadsUpdatesChanged)

public:
    // Releases are compared with runningVersion; the two settings live in UserDefaults::standard().
    explicit Updater(const QString &runningVersion = Configuration::appVersion(), QObject *parent = nullptr);
    ~Updater() override;

    // Lets checks begin: canCheckForUpdates turns true and, with automatic checks on, the first of
    // them runs on a later turn. Partial downloads that no running copy holds are removed.
    void start();

    // False before start() and while a check or a download runs.
    [[nodiscard]] bool canCheckForUpdates() const { return m_started && !m_busy; }
    // A check the user asked for: it ends in exactly one alert. Does nothing while no check can begin.
    Q_INVOKABLE void checkForUpdates();

    // Both off until the user turns them on; kept as "AutomaticallyChecksForUpdates" and
    // "AutomaticallyDownloadsUpdates". Turning checks off leaves the download setting as it is.
    [[nodiscard]] bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool on);
    [[nodiscard]] bool automaticallyDownloadsUpdates() const;
    void setAutomaticallyDownloadsUpdates(bool on);

    // Shortened by tests: how long a transfer may stall (10 s), how often automatic checks run (a day).
    void setTransferTimeout(std::chrono::milliseconds timeout);
    void setCheckInterval(std::chrono::milliseconds interval);

    // Where downloaded updates are kept: "updates" in the application's cache directory.
    [[nodiscard]] static QString downloadFolder();

Q_SIGNALS:
    void canCheckForUpdatesChanged();
    void automaticallyChecksForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();
    // Something for the user: how a check they asked for ended, a newer release an automatic check
    // found, or how its automatic download ended. Automatic checks that find nothing stay silent.
    void alert(const UpdateOutcome &outcome);

private:
    enum class Origin { User, Automatic };
    enum class Check { Valid, WrongSize, WrongSignature };

    // On a pool thread, on the bytes of the open file handle (closed here), which nothing else writes:
    // what is checked is what is kept.
    [[nodiscard]] static Check checkFile(int handle, const Appcast::Release &release,
                                         const QByteArray &publicKey);

    void check(Origin origin);
    void feedFetched(Origin origin, const HttpFetch::Result &result);
    void feedRead(Origin origin, const std::optional<QList<Appcast::Release>> &releases);
    void download(const Appcast::Release &release);
    void downloaded(const Appcast::Release &release, const HttpFetch::Result &result);
    void verified(const Appcast::Release &release, Check checked);
    [[nodiscard]] UpdateOutcome failure(const QString &message) const;
    [[nodiscard]] UpdateOutcome available(const Appcast::Release &release) const;
    // Ends a check with an outcome that only a check the user asked for tells.
    void endCheck(Origin origin, const UpdateOutcome &outcome);
    // Ends the running check or download: checks can begin again, the next automatic one is due a
    // check interval from now, and the outcome (when there is one) is told.
    void end(const std::optional<UpdateOutcome> &outcome);
    void setBusy(bool busy);
    void schedule();
    [[nodiscard]] static QString wrongSize();

    const QString m_runningVersion;
    QNetworkAccessManager m_network;
    QTimer m_automaticCheck;
    QElapsedTimer m_sinceLastCheck;
    std::unique_ptr<PartialDownload> m_download;
    std::chrono::milliseconds m_transferTimeout{10'000};
    std::chrono::milliseconds m_checkInterval{std::chrono::hours(24)};
    bool m_started = false;
    bool m_busy = false;
};
