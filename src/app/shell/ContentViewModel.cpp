#include "ContentViewModel.h"

#include "NotificationCenter.h"
#include "Preferences.h"

namespace {

ContentViewModel::ProgramState initialState()
{
    const std::optional<QString> email = Preferences::email();
    if (!email || email->isEmpty())
        return ContentViewModel::ProgramState::NeedLogin;
    const std::optional<QString> token = Preferences::token();
    if (!token || token->isEmpty())
        return ContentViewModel::ProgramState::NeedLogin;
    return ContentViewModel::ProgramState::LoggedIn;
}

} // namespace

ContentViewModel::ContentViewModel(QObject *parent)
    : QObject(parent)
    , m_state(initialState())
{
    NotificationCenter::defaultCenter().addObserver(QStringLiteral("showLoginView"), this,
                                                    [this](QObject *) { setState(ProgramState::NeedLogin); });
}

void ContentViewModel::setState(ProgramState value)
{
    m_state = value;
    Q_EMIT stateChanged();
}
