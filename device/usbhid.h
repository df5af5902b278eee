#pragma once
// The USB-HID link: the device as a HID-class interface that answers 69-byte feature reports.
// Everything from the manufacturer check up is done here; the raw device calls go through a
// backend table (hidapi by default, a simulated device in tests).
#include <QByteArray>
#include <QList>
#include <QtGlobal>

class Device;

constexpr quint16 UsbHidVendorId = 0x16C0;
constexpr quint16 UsbHidProductId = 0x05DF;
// What the device reports as its manufacturer; compared exactly after the 8-bit conversion.
constexpr char UsbHidManufacturer[] = "VANT";
// Report ID, 24-bit address, command, 64 data bytes.
constexpr int UsbHidReportSize = 69;
// The manufacturer string is read into 256 UTF-16 units, its terminating zero included.
constexpr int UsbHidManufacturerUnits = 256;

// One present HID interface, as the system lists it.
struct UsbHidInterface {
    QByteArray path;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// The raw device calls. `context` is handed back to every call; a handle is whatever `open`
// returns, null meaning the interface could not be opened.
struct UsbHidBackend {
    void *context;
    QList<UsbHidInterface> (*enumerate)(void *context);
    void *(*open)(void *context, const QByteArray &path);
    void (*close)(void *context, void *handle);
    // Fills `units` with the manufacturer string, zero-terminated within `capacity` units.
    bool (*manufacturer)(void *context, void *handle, char16_t *units, int capacity);
    // Byte 0 of the report is its ID. Both return the bytes transferred, -1 on failure.
    int (*setFeature)(void *context, void *handle, const uchar *report, int size);
    int (*getFeature)(void *context, void *handle, uchar *report, int size);
};

// The hidapi backend, used unless another one is set.
const UsbHidBackend *usbhidDefaultBackend();
// Selects the backend for later calls; null selects the default. Only while no device is held.
void usbhidSetBackend(const UsbHidBackend *backend);

// The manufacturer string in 8 bits: each unit up to 0xFF is that byte, any other is '?'.
QByteArray usbhidManufacturer8Bit(const char16_t *units);

// Finds the first present interface that matches and keeps it open; false (after "Can't open
// USB device") when there is none.
bool usbhidFind();
// Closes the device if one is held.
void usbhidRelease();
// Whether a device is held.
bool usbhidIsOpen();
// Sends `buffer` as a feature report; false after "\nusbhidSetReport failed".
bool usbhidSetReport(uchar *buffer, int size);
// Reads a feature report with ID 0 into `buffer`; false after "\nusbhidGetReport failed".
bool usbhidGetReport(uchar *buffer, int size);

// Runs the operation of `device` over the HID device that usbhidFind opened, releases the
// device, and stores the result code in device->result.
void runHidConnection(Device *device);
