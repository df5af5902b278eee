#pragma once
// Shared by the device fuzz targets: the input cut into what the device says, one piece at a
// time. Byte 0 picks the operation; then each piece is a length byte and that many bytes (the
// last may be cut short by the end of the input).
#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

struct DeviceScript {
    int operation = 0; // 0 identify, 1 download, 2 upload
    QList<QByteArray> pieces;
};

inline DeviceScript deviceScript(const uint8_t *data, size_t size)
{
    DeviceScript script;
    if (size == 0)
        return script;
    script.operation = data[0] % 3;
    size_t at = 1;
    while (at < size) {
        const size_t length = data[at++];
        const size_t take = length < size - at ? length : size - at;
        script.pieces.append(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(take)));
        at += take;
    }
    return script;
}
