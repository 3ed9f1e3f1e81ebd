#pragma once
// What the main screen shows for a connection status: the status line under the connect button, the
// button's image, what pressing it does, and whether the busy spinner turns over it.

#include "VpnStatus.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class ConnectionStatusViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(VpnState::Status status READ status WRITE setStatus NOTIFY statusChanged)
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    Q_PROPERTY(QString imageName READ imageName NOTIFY statusChanged)
    Q_PROPERTY(QUrl image READ image NOTIFY statusChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY statusChanged)
    Q_PROPERTY(QString action READ action NOTIFY statusChanged)

public:
    // The connected line follows the stored country name as it changes.
    explicit ConnectionStatusViewModel(QObject *parent = nullptr);

    [[nodiscard]] VpnStatus status() const { return m_status; }
    void setStatus(VpnStatus value);

    [[nodiscard]] QString text() const { return text(m_status); }
    [[nodiscard]] QString imageName() const { return imageName(m_status); }
    [[nodiscard]] QUrl image() const;
    [[nodiscard]] bool busy() const { return busy(m_status); }
    [[nodiscard]] QString action() const { return action(m_status); }

    // A value outside the known ones reads as an error the system is recovering from.
    [[nodiscard]] static QString text(VpnStatus status);
    [[nodiscard]] static QString imageName(VpnStatus status);
    [[nodiscard]] static bool busy(VpnStatus status);
    // What pressing the connect button does in that status, as a screen reader names the button.
    [[nodiscard]] static QString action(VpnStatus status);

Q_SIGNALS:
    void statusChanged();
    void textChanged();

private:
    VpnStatus m_status = VpnStatus::Invalid;
};
