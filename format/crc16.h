#pragma once
// The one checksum of images and firmware files, on its own so that the device link can check
// a firmware file without the configuration model.
#include <QtGlobal>

// Reflected CRC-16, polynomial 0xA001, no final XOR. With init 0xFFFF this is CRC-16/MODBUS.
quint16 crc16(quint16 init, const uchar *data, int count);
