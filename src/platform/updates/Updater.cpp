#include "Updater.h"

#include "BackgroundWork.h"
#include "PartialDownload.h"
#include "UpdateSignature.h"
#include "UserDefaults.h"
#include "VersionComparison.h"
#include "WebAddress.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>

#include <algorithm>
#include <unistd.h>

namespace {

const QString checksKey = QStringLiteral("AutomaticallyChecksForUpdates");
const QString downloadsKey = QStringLiteral("AutomaticallyDownloadsUpdates");

constexpr qint64 maxFeedSize = 2 * 1024 * 1024;
constexpr qint64 maxDownloadSize = qint64(1024) * 1024 * 1024;
constexpr std::chrono::seconds feedDeadline{60};
constexpr std::chrono::minutes downloadDeadline{30};

// Our own name for the file, with the kind of package it is when its address says so.
QString downloadName(const QUrl &url)
{
    static const QStringList kinds{QStringLiteral(".tar.gz"),  QStringLiteral(".tar.xz"),
                                   QStringLiteral(".tar.zst"), QStringLiteral(".AppImage"),
                                   QStringLiteral(".deb"),     QStringLiteral(".rpm"),
                                   QStringLiteral(".zip")};
    const QString path = url.path();
    const auto kind = std::find_if(kinds.cbegin(), kinds.cend(), [&path](const QString &suffix) {
        return path.endsWith(suffix, Qt::CaseInsensitive);
    });
    return QStringLiteral("Velmora-update") + (kind != kinds.cend() ? *kind : QString());
}

} // namespace

Updater::Check Updater::checkFile(int handle, const Appcast::Release &release, const QByteArray &publicKey)
{
    QFile file;
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return Check::WrongSignature;
    }
    if (file.size() != release.length)
        return Check::WrongSize;
    return UpdateSignature::verify(file, release.edSignature, publicKey) ? Check::Valid
                                                                         : Check::WrongSignature;
}

Updater::Updater(const QString &runningVersion, QObject *parent)
    : QObject(parent)
    , m_runningVersion(runningVersion)
    , m_automaticCheck(this)
{
    m_automaticCheck.setObjectName(QStringLiteral("automaticCheck"));
    m_automaticCheck.setSingleShot(true);
    connect(&m_automaticCheck, &QTimer::timeout, this, [this] { check(Origin::Automatic); });
}

Updater::~Updater() = default;

void Updater::start()
{
    if (m_started)
        return;
    m_started = true;
    // What a copy ended by a signal left behind; a running copy's own file stays. Off the main thread,
    // so that the window's first frame never waits for the folder.
    BackgroundWork::start([folder = downloadFolder()] { PartialDownload::removeStale(folder); });
    Q_EMIT canCheckForUpdatesChanged();
    schedule();
}

void Updater::checkForUpdates()
{
    check(Origin::User);
}

bool Updater::automaticallyChecksForUpdates() const
{
    return UserDefaults::standard().boolValue(checksKey, false);
}

void Updater::setAutomaticallyChecksForUpdates(bool on)
{
    const bool changed = on != automaticallyChecksForUpdates();
    UserDefaults::standard().setValue(checksKey, on);
    if (changed)
        Q_EMIT automaticallyChecksForUpdatesChanged();
    schedule();
}

bool Updater::automaticallyDownloadsUpdates() const
{
    return UserDefaults::standard().boolValue(downloadsKey, false);
}

void Updater::setAutomaticallyDownloadsUpdates(bool on)
{
    const bool changed = on != automaticallyDownloadsUpdates();
    UserDefaults::standard().setValue(downloadsKey, on);
    if (changed)
        Q_EMIT automaticallyDownloadsUpdatesChanged();
}

void Updater::setTransferTimeout(std::chrono::milliseconds timeout)
{
    m_transferTimeout = timeout;
}

void Updater::setCheckInterval(std::chrono::milliseconds interval)
{
    m_checkInterval = interval;
    schedule();
}

QString Updater::downloadFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("updates"));
}

void Updater::check(Origin origin)
{
    if (!canCheckForUpdates())
        return;
    setBusy(true);
    const std::optional<QUrl> feed = WebAddress::http(Configuration::updateFeed());
    if (!feed) {
        endCheck(origin, failure(tr("The update feed's address is not valid.")));
        return;
    }
    new HttpFetch(m_network, *feed, {maxFeedSize, m_transferTimeout, feedDeadline}, nullptr,
                  [this, origin](const HttpFetch::Result &result) { feedFetched(origin, result); });
}

void Updater::feedFetched(Origin origin, const HttpFetch::Result &result)
{
    switch (result.failure) {
    case HttpFetch::Failure::None:
        BackgroundWork::run(
            BackgroundWork::Lane::Updates, [body = result.body] { return Appcast::parse(body); },
            [self = QPointer(this), origin](const auto &releases) {
                if (self)
                    self->feedRead(origin, releases);
            });
        return;
    case HttpFetch::Failure::TimedOut:
        endCheck(origin, failure(tr("The update feed did not answer in time.")));
        return;
    case HttpFetch::Failure::Status:
        endCheck(origin, failure(tr("The update feed answered with HTTP status %1.").arg(result.status)));
        return;
    case HttpFetch::Failure::TooLarge:
        endCheck(origin, failure(tr("The update feed is too large.")));
        return;
    case HttpFetch::Failure::Unreachable:
    case HttpFetch::Failure::Unwritable:
        break;
    }
    endCheck(origin, failure(tr("The update feed could not be reached.")));
}

void Updater::feedRead(Origin origin, const std::optional<QList<Appcast::Release>> &releases)
{
    if (!releases) {
        endCheck(origin, failure(tr("The update feed could not be read.")));
        return;
    }
    const std::optional<Appcast::Release> newest = Appcast::newest(*releases);
    if (!newest || VersionComparison::compare(newest->version, m_runningVersion) <= 0) {
        UpdateOutcome upToDate;
        upToDate.runningVersion = m_runningVersion;
        endCheck(origin, upToDate);
        return;
    }
    // Without the publisher's key nothing downloaded could be trusted: the release is offered instead.
    if (origin == Origin::Automatic && automaticallyDownloadsUpdates()
        && !Configuration::updatePublicKey().isEmpty()) {
        download(*newest);
        return;
    }
    end(available(*newest));
}

void Updater::download(const Appcast::Release &release)
{
    if (release.length > maxDownloadSize) {
        end(failure(tr("The update is too large to download.")));
        return;
    }
    if (QDir().mkpath(downloadFolder()))
        m_download = PartialDownload::create(downloadFolder());
    if (!m_download) {
        end(failure(tr("The update could not be downloaded.")));
        return;
    }
    new HttpFetch(m_network, release.url, {release.length, m_transferTimeout, downloadDeadline},
                  &m_download->file(),
                  [this, release](const HttpFetch::Result &result) { downloaded(release, result); });
}

void Updater::downloaded(const Appcast::Release &release, const HttpFetch::Result &result)
{
    m_download->file().flush();
    const bool complete = result.failure == HttpFetch::Failure::None;
    if (result.failure == HttpFetch::Failure::TooLarge || (complete && result.size != release.length)) {
        m_download.reset();
        end(failure(wrongSize()));
        return;
    }
    const int handle = complete ? m_download->duplicateHandle() : -1;
    if (handle < 0) {
        m_download.reset();
        end(failure(tr("The update could not be downloaded.")));
        return;
    }
    BackgroundWork::run(
        BackgroundWork::Lane::Updates,
        [handle, release, key = Configuration::updatePublicKey().toLatin1()] {
            return checkFile(handle, release, key);
        },
        [self = QPointer(this), release](Check checked) {
            if (self)
                self->verified(release, checked);
        });
}

void Updater::verified(const Appcast::Release &release, Check checked)
{
    if (checked != Check::Valid) {
        m_download.reset();
        end(failure(checked == Check::WrongSize
                        ? wrongSize()
                        : tr("The downloaded update's signature is not valid. It has been deleted.")));
        return;
    }
    const QString path = QDir(downloadFolder()).filePath(downloadName(release.url));
    if (!m_download->keepAs(path)) {
        m_download.reset();
        end(failure(tr("The update could not be downloaded.")));
        return;
    }
    m_download.reset();
    UpdateOutcome outcome = available(release);
    outcome.kind = UpdateOutcome::Kind::Downloaded;
    outcome.filePath = path;
    end(outcome);
}

UpdateOutcome Updater::failure(const QString &message) const
{
    UpdateOutcome outcome;
    outcome.kind = UpdateOutcome::Kind::Failed;
    outcome.runningVersion = m_runningVersion;
    outcome.message = message;
    return outcome;
}

UpdateOutcome Updater::available(const Appcast::Release &release) const
{
    UpdateOutcome outcome;
    outcome.kind = UpdateOutcome::Kind::Available;
    outcome.runningVersion = m_runningVersion;
    outcome.newVersion = release.shortVersion;
    outcome.downloadUrl = release.url;
    return outcome;
}

void Updater::endCheck(Origin origin, const UpdateOutcome &outcome)
{
    end(origin == Origin::User ? std::optional(outcome) : std::nullopt);
}

void Updater::end(const std::optional<UpdateOutcome> &outcome)
{
    m_sinceLastCheck.start();
    setBusy(false);
    schedule();
    if (outcome)
        Q_EMIT alert(*outcome);
}

void Updater::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    Q_EMIT canCheckForUpdatesChanged();
}

void Updater::schedule()
{
    if (!m_started || !automaticallyChecksForUpdates()) {
        m_automaticCheck.stop();
        return;
    }
    // A running check or download schedules the next when it ends.
    if (m_busy)
        return;
    std::chrono::milliseconds due{0};
    if (m_sinceLastCheck.isValid())
        due = std::max(m_checkInterval - std::chrono::milliseconds(m_sinceLastCheck.elapsed()), due);
    m_automaticCheck.start(due);
}

QString Updater::wrongSize()
{
    return tr("The downloaded update does not have the size the update feed gives. It has been deleted.");
}
