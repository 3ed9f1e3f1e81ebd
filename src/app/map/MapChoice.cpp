#include "MapChoice.h"

#include <QtGlobal>

bool MapChoice::legacy()
{
    return qEnvironmentVariableIsSet("VELMORA_LEGACY_MAP");
}
