#include "device/sim/simhidenv.h"

#include "device/sim/simhid.h"

#include <QFile>

namespace {

// The device model first, so that it is made before the backend that refers to it and
// destroyed after it.
struct OwnedSimDevice {
    SimDevice device;
};

class EnvironmentSimHid : private OwnedSimDevice, public SimHid
{
public:
    explicit EnvironmentSimHid(const QString &imagePath)
        : SimHid(OwnedSimDevice::device)
    {
        OwnedSimDevice::device.imagePath = imagePath;
        OwnedSimDevice::device.firmwarePath = imagePath + QLatin1String(".firmware");
    }
};

} // namespace

std::unique_ptr<HidBackend> simulatedHidFromEnvironment()
{
    const QByteArray imagePath = qgetenv("VANT_HID_SIM");
    if (imagePath.isEmpty())
        return nullptr;
    return std::make_unique<EnvironmentSimHid>(QFile::decodeName(imagePath));
}
