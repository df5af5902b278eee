#include "format/crc16.h"

quint16 crc16(quint16 init, const uchar *data, int count)
{
    quint16 crc = init;
    for (int i = 0; i < count; ++i) {
        uchar byte = data[i];
        for (int bit = 0; bit < 8; ++bit) {
            if ((crc ^ byte) & 1)
                crc = quint16((crc >> 1) ^ 0xA001);
            else
                crc = quint16(crc >> 1);
            byte >>= 1;
        }
    }
    return crc;
}
