#include "tools/devsim/simhidenv.h"

#include "tools/devsim/simhid.h"

#include <QFile>

const UsbHidBackend *simulatedHidFromEnvironment()
{
    const QByteArray imagePath = qgetenv("VANT_HID_SIM");
    if (imagePath.isEmpty())
        return nullptr;
    // Never destroyed: the link may still hold the device while the process winds down.
    auto *device = new SimDevice;
    device->imagePath = QFile::decodeName(imagePath);
    device->firmwarePath = device->imagePath + QLatin1String(".firmware");
    auto *hid = new SimHid(*device);
    return hid->backend();
}
