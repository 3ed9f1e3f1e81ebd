#pragma once
// Which of the window's two screens is due: the login screen or the main screen. Starts from the
// stored credentials and returns to the login screen on "showLoginView".

#include <QObject>
#include <QtQml/qqmlregistration.h>

class ContentViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_PROPERTY(ProgramState state READ state WRITE setState NOTIFY stateChanged)

public:
    enum class ProgramState { NeedLogin, LoggedIn };
    Q_ENUM(ProgramState)

    // LoggedIn when the keyring holds a non-empty "email" and "token"; no request is made.
    explicit ContentViewModel(QObject *parent = nullptr);

    [[nodiscard]] ProgramState state() const { return m_state; }
    // Notifies on every assignment, also of the value already held.
    void setState(ProgramState value);

Q_SIGNALS:
    void stateChanged();

private:
    ProgramState m_state;
};
