#pragma once
// Opening addresses in the user's own programs (a mailto link in the mail client, a page in the
// browser): the core hands the address on; the application installs the handler that opens it.

#include <QUrl>

#include <functional>

namespace Workspace {

using Handler = std::function<void(const QUrl &url)>;

// Hands url to the handler, on the calling thread; nothing happens without one.
void open(const QUrl &url);

// Installs the handler for every later request (none removes it).
void setHandler(Handler handler);

} // namespace Workspace
