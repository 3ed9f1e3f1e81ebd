#pragma once
// The application's icon as the state of the connection shows it: the core records the requested
// image name; the application installs a handler that puts that image on its windows.

#include <QString>

#include <functional>

namespace AppIcon {

using Handler = std::function<void(const QString &name)>;

// Records name and hands it to the handler on the main thread. An unknown name stands for the
// application's own icon. Callable from any thread.
void set(const QString &name);

// The last requested name; empty before the first request.
[[nodiscard]] QString current();

// Installs the handler that shows the icon (none removes it); it runs for every later request.
void setHandler(Handler handler);

} // namespace AppIcon
