#pragma once
// The Settings window's two update switches: seeded once from the updater when it is given, then
// only written through to it, never refreshed from it. Downloads can be changed only while
// automatic checks are on; turning checks off leaves the download setting as it is.

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class Updater;

class UpdaterSettingsViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Updater *updater READ updater WRITE setUpdater NOTIFY updaterChanged REQUIRED)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(bool automaticallyDownloadsUpdates READ automaticallyDownloadsUpdates WRITE
                   setAutomaticallyDownloadsUpdates NOTIFY automaticallyDownloadsUpdatesChanged)
    Q_PROPERTY(bool canChangeAutomaticDownloads READ canChangeAutomaticDownloads NOTIFY
                   automaticallyChecksForUpdatesChanged)

public:
    using QObject::QObject;

    [[nodiscard]] Updater *updater() const { return m_updater; }
    // The first updater given seeds both switches; later ones are ignored.
    void setUpdater(Updater *updater);

    [[nodiscard]] bool automaticallyChecksForUpdates() const { return m_checks; }
    void setAutomaticallyChecksForUpdates(bool on);
    [[nodiscard]] bool automaticallyDownloadsUpdates() const { return m_downloads; }
    // Ignored while automatic checks are off.
    void setAutomaticallyDownloadsUpdates(bool on);
    [[nodiscard]] bool canChangeAutomaticDownloads() const { return m_checks; }

Q_SIGNALS:
    void updaterChanged();
    void automaticallyChecksForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();

private:
    QPointer<Updater> m_updater;
    bool m_checks = false;
    bool m_downloads = false;
};
