#pragma once
// The Device menu's commands and the device links under them. They bring the serial port, HID
// and udev libraries, which a start that never touches a device need not load, so the window
// reaches them only through this table: linked in (vantui: the tests, the tools) or loaded
// from the device module the first time a device command runs (app/modules.h).
#include <memory>

class HidBackend;
class MainWindow;

enum class DeviceCommand { Identify, Download, Upload, Firmware, Restore, Provision, LinkSettings };

// Built for this program when abi is DeviceModuleAbi, windowSize is sizeof(MainWindow) as the
// program has it, and diagChannel is the program's diagReport (the module's diagnostics reach
// the program's handlers and collectors).
struct DeviceModule {
    int abi;
    const void *diagChannel;
    unsigned long windowSize;
    // Runs one command of the Device menu in `window`.
    void (*run)(MainWindow &window, DeviceCommand command);
    // The simulated HID devices VANT_HID_SIM names, null when it is not set
    // (device/sim/simhidenv.h); the module stays loaded as long as the backend lives.
    std::unique_ptr<HidBackend> (*simulatedHid)();
};
// Raised whenever DeviceModule changes, or what the module reaches of the program other than
// MainWindow's members.
inline constexpr int DeviceModuleAbi = 1;
// The module's entry point: extern "C" const DeviceModule *vant_conf_device_module().
inline constexpr char DeviceModuleEntry[] = "vant_conf_device_module";

// The table of the commands linked into this program (app/devicemodule.cpp).
const DeviceModule &linkedDeviceModule();
