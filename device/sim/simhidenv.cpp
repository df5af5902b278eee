#include "device/sim/simhidenv.h"

#include "device/sim/simhid.h"
#include "device/sim/simhidgroup.h"

#include <QFile>

#include <vector>

namespace {

// One simulated device: its model first, so that it is made before the backend that refers
// to it and destroyed after it.
struct OwnedSimHid {
    explicit OwnedSimHid(const QString &imagePath, int number)
    {
        device.hardwareId = "VANT-HW-" + QByteArray::number(number);
        device.imagePath = imagePath;
        device.firmwarePath = imagePath + QLatin1String(".firmware");
    }
    SimDevice device;
    SimHid hid{device};
};

class EnvironmentSimHid : public SimHidGroup
{
public:
    explicit EnvironmentSimHid(const QStringList &imagePaths)
    {
        for (const QString &path : imagePaths) {
            m_devices.push_back(std::make_unique<OwnedSimHid>(path, int(m_devices.size()) + 1));
            add(m_devices.back()->hid);
        }
    }

private:
    std::vector<std::unique_ptr<OwnedSimHid>> m_devices;
};

} // namespace

std::unique_ptr<HidBackend> simulatedHidFromEnvironment()
{
    const QString setting = QFile::decodeName(qgetenv("VANT_HID_SIM"));
    // An empty entry ("a::b", a trailing ':') names no file; it is not a device.
    const QStringList imagePaths = setting.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (imagePaths.isEmpty())
        return nullptr;
    return std::make_unique<EnvironmentSimHid>(imagePaths);
}
