#pragma once
// The main screen's rules: the layout the "CompactView" setting asks for and the window size that
// goes with it, whether the keyring holds a login, the account menu's title and the way out.

#include "ContentViewModel.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

class VPNMainViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool compact READ compact NOTIFY compactChanged)
    Q_PROPERTY(bool loggedIn READ loggedIn CONSTANT)
    Q_PROPERTY(QString accountName READ accountName CONSTANT)

public:
    // Reads the keyring once: the screen is made anew for each login.
    explicit VPNMainViewModel(QObject *parent = nullptr);

    [[nodiscard]] bool compact() const;
    // Whole-frame size: the compact layout is one column wide.
    [[nodiscard]] QSize windowSize() const { return windowSize(compact()); }
    [[nodiscard]] static QSize windowSize(bool compact);
    // A token and an e-mail are stored, empty ones included.
    [[nodiscard]] bool loggedIn() const { return m_loggedIn; }
    // The stored e-mail as it stands, or "UNDEFINED".
    [[nodiscard]] QString accountName() const { return m_accountName; }

    // Brings the window to the layout's size, keeping its lower-left corner, on a later turn.
    Q_INVOKABLE void adjustWindowSize(QWindow *window) const;
    // Without a login: posts "logout" on a later turn, which the controller answers.
    Q_INVOKABLE void requestLogin() const;
    // Posts "logout" and returns to the login screen even when no controller answers it.
    Q_INVOKABLE void logOut(ContentViewModel *vm) const;

Q_SIGNALS:
    void compactChanged();

private:
    bool m_loggedIn = false;
    QString m_accountName;
};
