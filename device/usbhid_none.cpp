// Builds without a HID link: no HID device is ever found, so every choice falls to the serial port.
#include "device/usbhid.h"

#include "device/device.h"

bool usbhidFind()
{
    return false;
}

void runHidConnection(Device *device)
{
    device->result = NotFound;
}
