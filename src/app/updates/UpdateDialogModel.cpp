#include "UpdateDialogModel.h"

#include "Updater.h"
#include "WebAddress.h"
#include "Workspace.h"

void UpdateDialogModel::setUpdater(Updater *updater)
{
    if (updater == m_updater)
        return;
    if (m_updater)
        disconnect(m_updater, nullptr, this, nullptr);
    m_updater = updater;
    if (updater)
        connect(updater, &Updater::alert, this, &UpdateDialogModel::show);
    Q_EMIT updaterChanged();
}

QString UpdateDialogModel::title() const
{
    switch (m_outcome.kind) {
    case UpdateOutcome::Kind::UpToDate:
        return tr("You're up to date!");
    case UpdateOutcome::Kind::Available:
        return tr("A new version of Velmora is available!");
    case UpdateOutcome::Kind::Downloaded:
        return tr("A new version of Velmora is ready!");
    case UpdateOutcome::Kind::Failed:
        break;
    }
    return tr("Update Error!");
}

QString UpdateDialogModel::message() const
{
    switch (m_outcome.kind) {
    case UpdateOutcome::Kind::UpToDate:
        return tr("Velmora %1 is currently the newest version available.").arg(m_outcome.runningVersion);
    case UpdateOutcome::Kind::Available:
        return tr("Velmora %1 is now available; you have %2. Would you like to download it now?")
            .arg(m_outcome.newVersion, m_outcome.runningVersion);
    case UpdateOutcome::Kind::Downloaded:
        return tr("Velmora %1 has been downloaded and its signature checked. Install it from %2 to update.")
            .arg(m_outcome.newVersion, m_outcome.filePath);
    case UpdateOutcome::Kind::Failed:
        break;
    }
    return m_outcome.message;
}

bool UpdateDialogModel::offersDownload() const
{
    return m_outcome.kind == UpdateOutcome::Kind::Available;
}

void UpdateDialogModel::show(const UpdateOutcome &outcome)
{
    m_outcome = outcome;
    m_shown = true;
    Q_EMIT changed();
}

void UpdateDialogModel::download()
{
    if (offersDownload()) {
        if (const std::optional<QUrl> address =
                WebAddress::http(m_outcome.downloadUrl.toString(QUrl::FullyEncoded)))
            Workspace::open(*address);
    }
    dismiss();
}

void UpdateDialogModel::dismiss()
{
    if (!m_shown)
        return;
    m_shown = false;
    Q_EMIT changed();
}
