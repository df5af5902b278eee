#include "device/hidlink.h"

#include "device/device.h"
#include "device/hidbackend.h"

#include "format/diag.h"

#include <QString>

#include <cstring>

namespace {

qint32 readLe32(const uchar *p)
{
    return qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
}

// Writes `length` bytes of `data` in 64-byte blocks of the given kind, the last one filled up
// with 0xFF; progress goes by blocks written against the length.
int writeBlocks(HidLink &link, Device &device, int kind, const uchar *data, int length)
{
    uchar block[HidBlockSize];
    qint64 written = 0;
    for (int offset = 0; offset < length; offset += HidBlockSize) {
        const int count = qMin(HidBlockSize, length - offset);
        std::memcpy(block, data + offset, size_t(count));
        std::memset(block + count, 0xFF, size_t(HidBlockSize - count));
        if (!link.writeBlock(kind, offset, block))
            return ProtocolError;
        ++written;
        device.setProgress(int(written * 6400 / length));
        if (device.isCancelRequested())
            return Canceled;
    }
    return Ok;
}

} // namespace

HidLink::HidLink(HidBackend &backend)
    : m_backend(backend)
{
}

HidLink::~HidLink()
{
    release();
}

QByteArray usbhidManufacturer8Bit(const char16_t *units)
{
    QByteArray text;
    for (; *units; ++units)
        text.append(*units > 0xFF ? '?' : char(*units));
    return text;
}

bool HidLink::manufacturerMatches(void *handle)
{
    char16_t units[UsbHidManufacturerUnits];
    std::memset(units, 0, sizeof units);
    if (!m_backend.manufacturer(handle, units, UsbHidManufacturerUnits))
        return false;
    // However the backend filled it, the text ends inside the buffer.
    units[UsbHidManufacturerUnits - 1] = 0;
    return usbhidManufacturer8Bit(units) == QByteArray(UsbHidManufacturer);
}

void *HidLink::openMatching(const UsbHidInterface &candidate)
{
    // The system lists vendor and product without opening anything: keyboards and the like
    // are left alone.
    if (candidate.vendorId != UsbHidVendorId || candidate.productId != UsbHidProductId)
        return nullptr;
    void *handle = m_backend.open(candidate.path);
    if (handle && !manufacturerMatches(handle)) {
        m_backend.close(handle);
        handle = nullptr;
    }
    return handle;
}

bool HidLink::findFirst(const QByteArray *path)
{
    release();
    const QList<UsbHidInterface> interfaces = m_backend.enumerate();
    for (const UsbHidInterface &candidate : interfaces) {
        if (path && candidate.path != *path)
            continue;
        if ((m_handle = openMatching(candidate)))
            return true;
    }
    diagOut("Can't open USB device\n");
    return false;
}

bool HidLink::find()
{
    return findFirst(nullptr);
}

bool HidLink::findPath(const QByteArray &path)
{
    return findFirst(&path);
}

QList<QByteArray> HidLink::matchingPaths()
{
    release();
    QList<QByteArray> paths;
    const QList<UsbHidInterface> interfaces = m_backend.enumerate();
    for (const UsbHidInterface &candidate : interfaces) {
        if (void *handle = openMatching(candidate)) {
            m_backend.close(handle);
            paths.append(candidate.path);
        }
    }
    return paths;
}

void HidLink::release()
{
    if (!m_handle)
        return;
    m_backend.close(m_handle);
    m_handle = nullptr;
}

bool HidLink::setReport(const uchar *buffer, int size)
{
    if (!m_handle || m_backend.setFeature(m_handle, buffer, size) != size) {
        diagOut("\nusbhidSetReport failed\n");
        return false;
    }
    return true;
}

bool HidLink::getReport(uchar *buffer, int size)
{
    buffer[0] = 0;
    // A shorter reply would leave the request's own bytes in the buffer, to be taken for data.
    if (!m_handle || m_backend.getFeature(m_handle, buffer, size) != size) {
        diagOut("\nusbhidGetReport failed\n");
        return false;
    }
    return true;
}

void HidLink::setHeader(uchar command, int address)
{
    m_report[0] = 0;
    m_report[HidAddressOffset] = uchar(address);
    m_report[HidAddressOffset + 1] = uchar(address >> 8);
    m_report[HidAddressOffset + 2] = uchar(address >> 16);
    m_report[HidCommandOffset] = command;
}

// Sends a request that expects an answer and fetches the answer into the report buffer.
bool HidLink::request(uchar command, int address)
{
    std::memset(m_report, 0, sizeof m_report);
    setHeader(command, address);
    return setReport(m_report, UsbHidReportSize) && getReport(m_report, UsbHidReportSize);
}

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

bool HidLink::readInfo()
{
    if (!isOpen() || !request(HidCommand::Info, 0))
        return false;
    const uchar *data = m_report + HidDataOffset;
    std::memcpy(m_info.softwareId, data, HidIdFieldSize);
    std::memcpy(m_info.hardwareId, data + HidIdFieldSize, HidIdFieldSize);
    hidCleanId(m_info.softwareId);
    hidCleanId(m_info.hardwareId);
    m_info.imageCapacity = readLe32(data + 2 * HidIdFieldSize);
    m_info.firmwareCapacity = readLe32(data + 2 * HidIdFieldSize + 4);
    return true;
}

bool HidLink::readBlock(int address, uchar *destination)
{
    if (!isOpen() || !request(HidCommand::ReadImage, address))
        return false;
    std::memcpy(destination, m_report + HidDataOffset, HidBlockSize);
    return true;
}

bool HidLink::writeBlock(int kind, int address, const uchar *source)
{
    if (!isOpen())
        return false;
    setHeader(uchar(HidCommand::Write + kind), address);
    std::memcpy(m_report + HidDataOffset, source, HidBlockSize);
    return setReport(m_report, UsbHidReportSize);
}

int hidDownload(HidLink &link, Device &device)
{
    const quint32 capacity = quint32(link.info().imageCapacity);
    const int size = capacity < quint32(ImageCapacity) ? int(capacity) : ImageCapacity;
    QByteArray image;
    device.setImage(image);
    uchar block[HidBlockSize];
    while (image.size() < size) {
        if (!link.readBlock(int(image.size()), block))
            return ProtocolError;
        image.append(reinterpret_cast<const char *>(block), HidBlockSize);
        device.setImage(image);
        // Against what this device holds, so the bar reaches its end.
        device.setProgress(int(qMin<qint64>(100, image.size() * 100 / size)));
        if (device.isCancelRequested())
            return Canceled;
    }
    return Ok;
}

int hidUpload(HidLink &link, Device &device)
{
    if (device.softwareId() != device.expectedSoftwareId())
        return Incompatible;
    const QByteArray &image = device.image();
    // No device holds more than ImageCapacity bytes, whatever this one says it takes.
    if (image.size() > link.info().imageCapacity || image.size() > ImageCapacity)
        return Incompatible;
    return writeBlocks(link, device, HidImageBlock, reinterpret_cast<const uchar *>(image.constData()),
                       int(image.size()));
}

int hidFirmware(HidLink &link, Device &device)
{
    QByteArray payload;
    const int checked = firmwareCheck(device.firmwareFile(), device.hardwareId(), &payload);
    if (checked != Ok)
        return checked;
    // A payload past the 24-bit address would wrap onto its own start.
    if (payload.size() > link.info().firmwareCapacity || payload.size() > HidAddressLimit)
        return Incompatible;
    if (payload.isEmpty())
        return Ok;
    return writeBlocks(link, device, HidFirmwareBlock, reinterpret_cast<const uchar *>(payload.constData()),
                       int(payload.size()));
}

int runHidConnection(HidLink &link, Device &device)
{
    if (!link.readInfo()) {
        link.release();
        return ProtocolError;
    }
    device.setIdentifiers(QString::fromLatin1(link.info().hardwareId), QString::fromLatin1(link.info().softwareId));
    int result;
    switch (device.operation()) {
    case 'I':
        result = Ok;
        break;
    case 'R':
        result = hidDownload(link, device);
        break;
    case 'W':
        result = hidUpload(link, device);
        break;
    case 'P':
        result = hidFirmware(link, device);
        break;
    default:
        result = ProtocolError;
        break;
    }
    link.release();
    return device.isCancelRequested() ? int(Canceled) : result;
}
