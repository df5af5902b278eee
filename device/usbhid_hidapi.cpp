// The real device calls, through hidapi's hidraw backend.
#include "device/usbhid.h"

#include <hidapi/hidapi.h>

#include <QString>

#include <mutex>

namespace {

bool initialise()
{
    // hid_init is not safe to run twice at once; the worker and a test thread may both ask.
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = hid_init() == 0; });
    return ok;
}

QList<UsbHidInterface> enumerateInterfaces(void *)
{
    QList<UsbHidInterface> interfaces;
    if (!initialise())
        return interfaces;
    hid_device_info *list = hid_enumerate(0, 0);
    for (const hid_device_info *info = list; info; info = info->next) {
        if (info->path)
            interfaces.append({QByteArray(info->path), info->vendor_id, info->product_id});
    }
    hid_free_enumeration(list);
    return interfaces;
}

void *openInterface(void *, const QByteArray &path)
{
    return hid_open_path(path.constData());
}

void closeInterface(void *, void *handle)
{
    hid_close(static_cast<hid_device *>(handle));
}

bool readManufacturer(void *, void *handle, char16_t *units, int capacity)
{
    if (capacity <= 0)
        return false;
    wchar_t text[UsbHidManufacturerUnits] = {};
    if (hid_get_manufacturer_string(static_cast<hid_device *>(handle), text, UsbHidManufacturerUnits) != 0)
        return false;
    text[UsbHidManufacturerUnits - 1] = 0;
    // The device sends UTF-16; hidapi hands it over as wchar_t (UTF-32 here), so go back to the
    // units the device sent, a character above U+FFFF being two of them.
    const QString decoded = QString::fromWCharArray(text);
    const int count = int(qMin<qsizetype>(decoded.size(), capacity - 1));
    for (int i = 0; i < count; ++i)
        units[i] = decoded.at(i).unicode();
    units[count] = 0;
    return true;
}

int sendFeature(void *, void *handle, const uchar *report, int size)
{
    return hid_send_feature_report(static_cast<hid_device *>(handle), report, size_t(size));
}

int getFeature(void *, void *handle, uchar *report, int size)
{
    return hid_get_feature_report(static_cast<hid_device *>(handle), report, size_t(size));
}

const UsbHidBackend hidapiBackend = {
    nullptr, enumerateInterfaces, openInterface, closeInterface, readManufacturer, sendFeature, getFeature,
};

} // namespace

const UsbHidBackend *usbhidDefaultBackend()
{
    return &hidapiBackend;
}
