#include "Workspace.h"

namespace {

Workspace::Handler &handler()
{
    static Workspace::Handler instance;
    return instance;
}

} // namespace

namespace Workspace {

bool open(const QUrl &url)
{
    if (!handler() || !url.isValid())
        return false;
    handler()(url);
    return true;
}

void setHandler(Handler value)
{
    handler() = std::move(value);
}

} // namespace Workspace
