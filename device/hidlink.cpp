#include "device/hidlink.h"

#include "device/device.h"

#include <QString>

#include <cstring>

uchar hidReport[UsbHidReportSize];
DeviceInfo hidInfo;

namespace {

void setHeader(uchar command, int address)
{
    hidReport[0] = 0;
    hidReport[HidAddressOffset] = uchar(address);
    hidReport[HidAddressOffset + 1] = uchar(address >> 8);
    hidReport[HidAddressOffset + 2] = uchar(address >> 16);
    hidReport[HidCommandOffset] = command;
}

qint32 readLe32(const uchar *p)
{
    return qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
}

// Sends a request that expects an answer and fetches the answer into hidReport.
bool request(uchar command, int address)
{
    std::memset(hidReport, 0, sizeof hidReport);
    setHeader(command, address);
    return usbhidSetReport(hidReport, UsbHidReportSize) && usbhidGetReport(hidReport, UsbHidReportSize);
}

// Writes `length` bytes of `data` in 64-byte blocks of the given kind, the last one filled up
// with 0xFF; progress goes by blocks written against the length.
int writeBlocks(Device *device, int kind, const uchar *data, int length)
{
    uchar block[HidBlockSize];
    qint64 written = 0;
    for (int offset = 0; offset < length; offset += HidBlockSize) {
        const int count = qMin(HidBlockSize, length - offset);
        std::memcpy(block, data + offset, size_t(count));
        std::memset(block + count, 0xFF, size_t(HidBlockSize - count));
        if (!hidWriteBlock(kind, offset, block))
            return ProtocolError;
        ++written;
        device->setProgress(qint32(written * 6400 / length));
        if (device->canceled())
            return Canceled;
    }
    return Ok;
}

} // namespace

void hidCleanId(char *field)
{
    field[HidIdFieldSize - 1] = 0;
    bool ended = false;
    for (int i = 0; i < HidIdFieldSize; ++i) {
        const uchar c = uchar(field[i]);
        if (c == 0)
            ended = true;
        else if (!ended && (c < 0x21 || c > 0x7E)) {
            field[i] = 0;
            ended = true;
        }
    }
}

bool hidReadInfo()
{
    if (!usbhidIsOpen() || !request(HidCommand::Info, 0))
        return false;
    const uchar *data = hidReport + HidDataOffset;
    std::memcpy(hidInfo.softwareId, data, HidIdFieldSize);
    std::memcpy(hidInfo.hardwareId, data + HidIdFieldSize, HidIdFieldSize);
    hidCleanId(hidInfo.softwareId);
    hidCleanId(hidInfo.hardwareId);
    hidInfo.imageCapacity = readLe32(data + 2 * HidIdFieldSize);
    hidInfo.firmwareCapacity = readLe32(data + 2 * HidIdFieldSize + 4);
    return true;
}

bool hidReadBlock(int address, uchar *destination)
{
    if (!usbhidIsOpen() || !request(HidCommand::ReadImage, address))
        return false;
    std::memcpy(destination, hidReport + HidDataOffset, HidBlockSize);
    return true;
}

bool hidWriteBlock(int kind, int address, const uchar *source)
{
    if (!usbhidIsOpen())
        return false;
    setHeader(uchar(HidCommand::Write + kind), address);
    std::memcpy(hidReport + HidDataOffset, source, HidBlockSize);
    return usbhidSetReport(hidReport, UsbHidReportSize);
}

int hidDownload(Device *device)
{
    const quint32 capacity = quint32(hidInfo.imageCapacity);
    const int size = capacity < quint32(ImageCapacity) ? int(capacity) : ImageCapacity;
    device->imageLength = 0;
    while (device->imageLength < size) {
        if (!hidReadBlock(device->imageLength, device->image + device->imageLength))
            return ProtocolError;
        device->imageLength += HidBlockSize;
        device->setProgress(device->imageLength * 100 / ImageCapacity);
    }
    return Ok;
}

int hidUpload(Device *device)
{
    if (device->softwareId != device->expectedSoftwareId)
        return Incompatible;
    // The image buffer holds no more than ImageCapacity bytes, whatever the device takes.
    if (device->imageLength > hidInfo.imageCapacity || device->imageLength > ImageCapacity)
        return Incompatible;
    return writeBlocks(device, HidImageBlock, device->image, device->imageLength);
}

int hidFirmware(Device *device)
{
    QByteArray payload;
    const int checked = firmwareCheck(device->firmwareFile, device->hardwareId, &payload);
    if (checked != Ok)
        return checked;
    // A payload past the 24-bit address would wrap onto its own start.
    if (payload.size() > hidInfo.firmwareCapacity || payload.size() > HidAddressLimit)
        return Incompatible;
    if (payload.isEmpty())
        return Ok;
    return writeBlocks(device, HidFirmwareBlock, reinterpret_cast<const uchar *>(payload.constData()),
                       int(payload.size()));
}

void runHidConnection(Device *device)
{
    if (!hidReadInfo()) {
        device->result = ProtocolError;
        usbhidRelease();
        return;
    }
    device->hardwareId = QString::fromLatin1(hidInfo.hardwareId);
    device->softwareId = QString::fromLatin1(hidInfo.softwareId);
    switch (device->operation) {
    case 'I':
        device->result = Ok;
        break;
    case 'R':
        device->result = hidDownload(device);
        break;
    case 'W':
        device->result = hidUpload(device);
        break;
    case 'P':
        device->result = hidFirmware(device);
        break;
    default:
        device->result = ProtocolError;
        break;
    }
    usbhidRelease();
    if (device->canceled())
        device->result = Canceled;
}
