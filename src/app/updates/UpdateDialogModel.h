#pragma once
// The update dialog's content: the updater's latest alert in the dialog's words, and its one
// action, opening a newer release's download address in the browser.

#include "UpdateOutcome.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

class Updater;

class UpdateDialogModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Updater *updater READ updater WRITE setUpdater NOTIFY updaterChanged REQUIRED)
    Q_PROPERTY(bool shown READ shown NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(bool offersDownload READ offersDownload NOTIFY changed)

public:
    using QObject::QObject;

    [[nodiscard]] Updater *updater() const { return m_updater; }
    // Shows every alert of updater from now on.
    void setUpdater(Updater *updater);

    [[nodiscard]] bool shown() const { return m_shown; }
    [[nodiscard]] QString title() const;
    [[nodiscard]] QString message() const;
    // A newer release can be downloaded from its address.
    [[nodiscard]] bool offersDownload() const;

    // Shows outcome, in place of what is shown.
    void show(const UpdateOutcome &outcome);
    // Opens the release's download address (an http(s) address with a host, nothing else), then
    // closes the dialog.
    Q_INVOKABLE void download();
    Q_INVOKABLE void dismiss();

Q_SIGNALS:
    void updaterChanged();
    void changed();

private:
    QPointer<Updater> m_updater;
    UpdateOutcome m_outcome;
    bool m_shown = false;
};
