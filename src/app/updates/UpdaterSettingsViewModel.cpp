#include "UpdaterSettingsViewModel.h"

#include "Updater.h"

void UpdaterSettingsViewModel::setUpdater(Updater *updater)
{
    if (m_updater || !updater)
        return;
    m_updater = updater;
    m_checks = updater->automaticallyChecksForUpdates();
    m_downloads = updater->automaticallyDownloadsUpdates();
    Q_EMIT updaterChanged();
    Q_EMIT automaticallyChecksForUpdatesChanged();
    Q_EMIT automaticallyDownloadsUpdatesChanged();
}

void UpdaterSettingsViewModel::setAutomaticallyChecksForUpdates(bool on)
{
    if (on == m_checks)
        return;
    m_checks = on;
    if (m_updater)
        m_updater->setAutomaticallyChecksForUpdates(on);
    Q_EMIT automaticallyChecksForUpdatesChanged();
}

void UpdaterSettingsViewModel::setAutomaticallyDownloadsUpdates(bool on)
{
    if (on == m_downloads || !m_checks)
        return;
    m_downloads = on;
    if (m_updater)
        m_updater->setAutomaticallyDownloadsUpdates(on);
    Q_EMIT automaticallyDownloadsUpdatesChanged();
}
