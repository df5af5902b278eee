// Finding the device among the present HID interfaces and exchanging feature reports with it.
#include "device/usbhid.h"

#include "format/diag.h"

#include <cstring>

namespace {

const UsbHidBackend *backend = nullptr;
// The one device handle of the process; null when none is held.
void *handle = nullptr;

const UsbHidBackend &currentBackend()
{
    return backend ? *backend : *usbhidDefaultBackend();
}

bool manufacturerMatches(const UsbHidBackend &b, void *h)
{
    char16_t units[UsbHidManufacturerUnits];
    std::memset(units, 0, sizeof units);
    if (!b.manufacturer(b.context, h, units, UsbHidManufacturerUnits))
        return false;
    // However the backend filled it, the text ends inside the buffer.
    units[UsbHidManufacturerUnits - 1] = 0;
    return usbhidManufacturer8Bit(units) == QByteArray(UsbHidManufacturer);
}

} // namespace

void usbhidSetBackend(const UsbHidBackend *b)
{
    backend = b;
}

QByteArray usbhidManufacturer8Bit(const char16_t *units)
{
    QByteArray text;
    for (; *units; ++units)
        text.append(*units > 0xFF ? '?' : char(*units));
    return text;
}

bool usbhidFind()
{
    const UsbHidBackend &b = currentBackend();
    usbhidRelease();
    const QList<UsbHidInterface> interfaces = b.enumerate(b.context);
    for (const UsbHidInterface &candidate : interfaces) {
        // The system lists vendor and product without opening anything: keyboards and the like
        // are left alone.
        if (candidate.vendorId != UsbHidVendorId || candidate.productId != UsbHidProductId)
            continue;
        void *h = b.open(b.context, candidate.path);
        if (!h)
            continue;
        if (manufacturerMatches(b, h)) {
            handle = h;
            return true;
        }
        b.close(b.context, h);
    }
    diagOut("Can't open USB device\n");
    return false;
}

void usbhidRelease()
{
    if (!handle)
        return;
    const UsbHidBackend &b = currentBackend();
    b.close(b.context, handle);
    handle = nullptr;
}

bool usbhidIsOpen()
{
    return handle != nullptr;
}

bool usbhidSetReport(uchar *buffer, int size)
{
    const UsbHidBackend &b = currentBackend();
    if (!handle || b.setFeature(b.context, handle, buffer, size) != size) {
        diagOut("\nusbhidSetReport failed\n");
        return false;
    }
    return true;
}

bool usbhidGetReport(uchar *buffer, int size)
{
    const UsbHidBackend &b = currentBackend();
    buffer[0] = 0;
    // A shorter reply would leave the request's own bytes in the buffer, to be taken for data.
    if (!handle || b.getFeature(b.context, handle, buffer, size) != size) {
        diagOut("\nusbhidGetReport failed\n");
        return false;
    }
    return true;
}
