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
const char HidPathLink[] = "HID:";

bool isAutoPort(const QString &entry)
{
    return entry.contains(QLatin1String(AutoPortMark));
}

// A port list entry is the port name, a blank and the description.
QString portNameOf(const QString &entry)
{
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    return blank < 0 ? entry : entry.left(blank);
}

// The port name of the first listed port whose description marks it as the device's; empty
// when there is none.
QString findAutoPort()
{
    const QStringList ports = comListPorts();
    for (int i = 0; i < ports.size(); ++i) {
        diagOut("%d: '%s'\n", i, qPrintable(ports[i]));
        if (isAutoPort(ports[i]))
            return portNameOf(ports[i]);
    }
    return QString();
}

// The backend a worker or a listing talks through: the one given, else hidapi's, made here
// and kept in *owned.
HidBackend *backendOrHidapi(HidBackend *given, std::unique_ptr<HidBackend> *owned)
{
    if (given)
        return given;
    *owned = std::make_unique<HidapiBackend>();
    return owned->get();
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
    HidBackend *backend = backendOrHidapi(m_hidBackend, &hidapi);
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
    if (m_link.startsWith(QLatin1String(HidPathLink))) {
        HidLink hid(*backend);
        if (!hid.findPath(m_link.mid(int(sizeof HidPathLink) - 1).toLocal8Bit()))
            return NotFound;
        return runHidConnection(hid, *this);
    }
    return runSerial(m_link, *this);
}

QStringList deviceLinks(HidBackend *hidBackend)
{
    QStringList links;
    for (const QString &entry : comListPorts()) {
        if (isAutoPort(entry))
            links.append(portNameOf(entry));
    }
    std::unique_ptr<HidBackend> hidapi;
    HidLink hid(*backendOrHidapi(hidBackend, &hidapi));
    for (const QByteArray &path : hid.matchingPaths())
        links.append(QLatin1String(HidPathLink) + QString::fromLocal8Bit(path));
    return links;
}
