// Compiled into each program that links the window with its device commands (vantui): the
// window there runs them at once, without a module to load.
#include "app/devicemodule.h"
#include "app/modules.h"

#include <QCoreApplication>

namespace {

void useLinkedDeviceCommands()
{
    modules::useLinkedDevice(&linkedDeviceModule());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(useLinkedDeviceCommands)
