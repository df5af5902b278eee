#include "device/device.h"

#include "format/crc16.h"

#include <climits>

#include <QFile>

namespace {
constexpr int FirmwareHeaderSize = 32;
constexpr int FirmwareCrcSize = 2;
} // namespace

int firmwareCheck(const QString &fileName, const QString &hardwareId, QByteArray *payload)
{
    QFile file(fileName);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return FileError;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
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
