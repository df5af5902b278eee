// The worker thread's body: the choice of link. Every link is made here, on the worker's own
// thread, and ends with the operation.
#include "device/device.h"
#include "device/hidbackend.h"
#include "device/hidlink.h"
#include "device/portlist.h"
#include "device/seriallink.h"
#include "device/serialprotocol.h"

#include "format/diag.h"

#include <memory>

namespace {

const char AutoPortMark[] = "VANT USB";

// The port name of the first listed port whose description marks it as the device's; empty
// when there is none.
QString findAutoPort()
{
    const QStringList ports = comListPorts();
    for (int i = 0; i < ports.size(); ++i) {
        diagOut("%d: '%s'\n", i, qPrintable(ports[i]));
        if (ports[i].contains(QLatin1String(AutoPortMark))) {
            const qsizetype blank = ports[i].indexOf(QLatin1Char(' '));
            return blank < 0 ? ports[i] : ports[i].left(blank);
        }
    }
    return QString();
}

int runSerial(const QString &portName, Device &device)
{
    SerialLink link;
    if (!link.open(portName))
        return PortError;
    return runSerialConnection(link, device);
}

} // namespace

int Device::runOperation()
{
    std::unique_ptr<HidBackend> hidapi;
    HidBackend *backend = m_hidBackend;
    if (!backend) {
        hidapi = std::make_unique<HidapiBackend>();
        backend = hidapi.get();
    }
    if (m_link == QLatin1String("AUTO")) {
        HidLink hid(*backend);
        if (hid.find())
            return runHidConnection(hid, *this);
        const QString found = findAutoPort();
        if (found.isEmpty())
            return NotFound;
        return runSerial(found, *this);
    }
    if (m_link == QLatin1String("HID")) {
        HidLink hid(*backend);
        if (!hid.find())
            return NotFound;
        return runHidConnection(hid, *this);
    }
    return runSerial(m_link, *this);
}
