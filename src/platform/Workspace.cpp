#include "Workspace.h"

namespace {

Workspace::Handler &handler()
{
    static Workspace::Handler instance;
    return instance;
}

} // namespace

namespace Workspace {

void open(const QUrl &url)
{
    if (handler())
        handler()(url);
}

void setHandler(Handler value)
{
    handler() = std::move(value);
}

} // namespace Workspace
