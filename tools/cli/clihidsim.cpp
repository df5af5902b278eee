// VANT_HID_SIM puts the simulated HID device in place of the real one (see simhidenv.h), before
// any command runs.
#include "device/usbhid.h"
#include "tools/devsim/simhidenv.h"

namespace {

const bool simulatedHid = [] {
    const UsbHidBackend *backend = simulatedHidFromEnvironment();
    if (backend)
        usbhidSetBackend(backend);
    return backend != nullptr;
}();

} // namespace
