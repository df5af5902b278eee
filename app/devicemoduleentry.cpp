// The entry point of the device module (vant-conf-device.so), which the window loads when the
// first device command runs, or at start when simulated HID devices are asked for.
#include "app/devicemodule.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const DeviceModule *vant_conf_device_module()
{
    return &linkedDeviceModule();
}
