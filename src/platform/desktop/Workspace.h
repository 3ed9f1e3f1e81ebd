#pragma once
// Opening web pages and mail in the user's programs: the core hands the address over; the
// application installs the handler that opens it (the desktop's browser or mail client).

#include <QUrl>

#include <functional>

namespace Workspace {

using Handler = std::function<void(const QUrl &url)>;

// Hands url to the handler; false when none is installed or url is not valid.
bool open(const QUrl &url);

// Installs the handler that opens addresses (none removes it). Main thread only.
void setHandler(Handler handler);

} // namespace Workspace
