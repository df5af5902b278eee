#pragma once
// Files a device deals in, made the way the device and the firmware tools make them.
#include "format/crc16.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testfiles {

// A whole file, such as a simulator's stored image; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Appends the CRC-16 low byte first, so that the CRC over the whole result is 0.
inline QByteArray withCrc(QByteArray bytes)
{
    const quint16 crc = crc16(0xFFFF, reinterpret_cast<const uchar *>(bytes.constData()), int(bytes.size()));
    bytes.append(char(crc & 0xFF));
    bytes.append(char(crc >> 8));
    return bytes;
}

// A configuration image: 16-bit data size, data in a pattern chosen by seed, CRC-16
// (the size need not match any description).
inline QByteArray makeImage(int dataSize, int seed)
{
    QByteArray image;
    image.append(char(dataSize & 0xFF));
    image.append(char(dataSize >> 8));
    for (int i = 0; i < dataSize; ++i)
        image.append(char((i * 13 + seed) & 0xFF));
    return withCrc(image);
}

// A firmware file: 32-byte hardware identifier header, payload, CRC-16.
inline QByteArray makeFirmware(const QByteArray &hardware, const QByteArray &payload)
{
    return withCrc(hardware + QByteArray(32 - hardware.size(), '\0') + payload);
}

} // namespace testfiles
