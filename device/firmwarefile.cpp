#include "device/device.h"

#include "device/protocol.h"
#include "format/crc16.h"
#include "format/wholefile.h"

#include <climits>


namespace {
constexpr int FirmwareHeaderSize = 32;
constexpr int FirmwareCrcSize = 2;
// The HID report addresses 24 bits, so no link can deliver a larger payload; anything bigger
// is not firmware for us, and reading it whole (a stray /dev/zero, a disk image) would only
// exhaust memory.
constexpr qint64 FirmwareFileMaxBytes = qint64(HidAddressLimit) + FirmwareHeaderSize + FirmwareCrcSize;
} // namespace

int firmwareCheck(const QString &fileName, const QString &hardwareId, QByteArray *payload)
{
    // Only a regular file, measured before it is read.
    QFile file;
    qint64 size = 0;
    QString reason;
    if (openRegularFile(fileName, &file, &size, &reason) != InputRefusal::None || size > FirmwareFileMaxBytes)
        return FileError;
    // One byte beyond the limit tells a file that grew since it was measured.
    const QByteArray data = file.read(FirmwareFileMaxBytes + 1);
    if (file.error() != QFileDevice::NoError || data.size() > FirmwareFileMaxBytes)
        return FileError;
    // Without a whole header and CRC there is nothing to check against: a 2-byte file can
    // pass the CRC test by itself.
    if (data.size() < FirmwareHeaderSize + FirmwareCrcSize || data.size() > INT_MAX)
        return FileError;
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    if (crc16(0xFFFF, bytes, int(data.size())) != 0)
        return FileError;
    // Byte 31 always ends the text, so at most 31 characters name the hardware.
    int length = 0;
    while (length < FirmwareHeaderSize - 1 && bytes[length] != 0)
        ++length;
    if (QString::fromLatin1(data.constData(), length) != hardwareId)
        return Incompatible;
    if (payload)
        *payload = data.mid(FirmwareHeaderSize, data.size() - FirmwareHeaderSize - FirmwareCrcSize);
    return Ok;
}
