// The real device calls, through hidapi's hidraw backend.
#include "device/hidbackend.h"
#include "device/protocol.h"

#include <hidapi/hidapi.h>

#include <QString>

#include <mutex>

namespace {

bool initialise()
{
    // hid_init is not safe to run twice at once, and several workers may ask at the same time.
    // The library's own state is process-wide whatever we do, so this one guard is too: it
    // runs hid_init once and remembers whether that worked.
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = hid_init() == 0; });
    return ok;
}

hid_device *device(void *handle)
{
    return static_cast<hid_device *>(handle);
}

} // namespace

QList<UsbHidInterface> HidapiBackend::enumerate()
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

void *HidapiBackend::open(const QByteArray &path)
{
    if (!initialise())
        return nullptr;
    return hid_open_path(path.constData());
}

void HidapiBackend::close(void *handle)
{
    hid_close(device(handle));
}

bool HidapiBackend::manufacturer(void *handle, char16_t *units, int capacity)
{
    if (capacity <= 0)
        return false;
    wchar_t text[UsbHidManufacturerUnits] = {};
    if (hid_get_manufacturer_string(device(handle), text, UsbHidManufacturerUnits) != 0)
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

int HidapiBackend::setFeature(void *handle, const uchar *report, int size)
{
    return hid_send_feature_report(device(handle), report, size_t(size));
}

int HidapiBackend::getFeature(void *handle, uchar *report, int size)
{
    return hid_get_feature_report(device(handle), report, size_t(size));
}
