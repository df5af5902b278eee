// VANT_HID_SIM puts the simulated HID device in place of the real one for the device commands.
#include "tools/cli/clihidsim.h"

#include "device/sim/simhidenv.h"

std::unique_ptr<HidBackend> cliHidBackend()
{
    return simulatedHidFromEnvironment();
}
