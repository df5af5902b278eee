#pragma once
// The USB-HID link: the device as a HID-class interface answering feature reports.
class Device;

// Finds the device and opens it; false when there is none.
bool usbhidFind();

// Runs the operation of `device` over the HID device that usbhidFind opened, releases the
// device, and stores the result code in device->result.
void runHidConnection(Device *device);
