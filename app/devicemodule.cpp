#include "app/devicemodule.h"

#include "app/mainwindow.h"
#include "device/hidbackend.h"
#include "device/sim/simhidenv.h"
#include "format/diag.h"

namespace {

void run(MainWindow &window, DeviceCommand command)
{
    window.runDeviceCommand(command);
}

} // namespace

const DeviceModule &linkedDeviceModule()
{
    // diagReport as bound where this is built: in a module, the program's own, unless the
    // module was built with a copy of the diagnostics channel, which the program then refuses.
    static const DeviceModule module{DeviceModuleAbi, reinterpret_cast<const void *>(&diagReport),
                                     sizeof(MainWindow), run, simulatedHidFromEnvironment};
    return module;
}
