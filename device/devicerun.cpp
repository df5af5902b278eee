// The worker thread's body: the choice of link and the serial connection.
#include "device/device.h"
#include "device/serialport.h"
#include "device/serialprotocol.h"
#include "device/usbhid.h"

#include "format/diag.h"

namespace {

constexpr int LineBaud = 115200;
const char AutoPortMark[] = "VANT USB";

void runSerialConnection(Device *device)
{
    comSetup(LineBaud, 8, 0, 1, false);
    blockNumber = 1;
    switch (device->operation) {
    case 'I':
        device->result = serialIdentify(device);
        break;
    case 'R':
        device->result = serialDownload(device);
        break;
    case 'W':
        device->result = serialUpload(device);
        break;
    case 'P':
        device->result = serialFirmware(device);
        break;
    default:
        device->result = ProtocolError;
        break;
    }
    comClose();
    if (device->canceled())
        device->result = Canceled;
}

} // namespace

void Device::run()
{
    if (link == QLatin1String("AUTO")) {
        if (usbhidFind()) {
            runHidConnection(this);
            return;
        }
        const QStringList ports = comListPorts();
        QString found;
        for (int i = 0; i < ports.size(); ++i) {
            diagOut("%d: '%s'\n", i, qPrintable(ports[i]));
            if (ports[i].contains(QLatin1String(AutoPortMark))) {
                found = ports[i];
                break;
            }
        }
        if (found.isEmpty()) {
            result = NotFound;
            return;
        }
        const qsizetype blank = found.indexOf(QLatin1Char(' '));
        const QString name = blank < 0 ? found : found.left(blank);
        if (!comOpen(name.toLocal8Bit().constData())) {
            result = PortError;
            return;
        }
        runSerialConnection(this);
        return;
    }
    if (link == QLatin1String("HID")) {
        if (!usbhidFind()) {
            result = NotFound;
            return;
        }
        runHidConnection(this);
        return;
    }
    if (!comOpen(link.toLocal8Bit().constData())) {
        result = PortError;
        return;
    }
    runSerialConnection(this);
}
