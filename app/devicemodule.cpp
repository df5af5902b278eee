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
    // Taken at the first call, by then bound: in a module, diagReport is the program's own when
    // the program shares its symbols, and the module's copy when it does not.
    static const DeviceModule module{DeviceModuleAbi, reinterpret_cast<const void *>(&diagReport),
                                     sizeof(MainWindow), run, simulatedHidFromEnvironment};
    return module;
}
