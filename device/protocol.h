#pragma once
// The bytes on the wire, for both ends: the program's link code and the simulated device take
// every framing byte, block size, checksum and report offset from here, so the two cannot
// drift apart.
#include <QtGlobal>

// Serial: identification in STX/ETX framing, then XMODEM blocks (128 data bytes, 8-bit
// arithmetic checksum, started by the receiver's NAK).
namespace SerialByte {
constexpr uchar SOH = 0x01;
constexpr uchar STX = 0x02;
constexpr uchar ETX = 0x03;
constexpr uchar EOT = 0x04;
constexpr uchar ACK = 0x06;
constexpr uchar NAK = 0x15;
constexpr uchar CAN = 0x18;
} // namespace SerialByte

// The command letters the device answers between transfers.
namespace SerialCommand {
constexpr uchar Identify = 'I';
constexpr uchar Download = 'R'; // the device sends its image
constexpr uchar Upload = 'W';   // the device receives an image
constexpr uchar Firmware = 'P'; // the device receives a firmware payload
} // namespace SerialCommand

constexpr int BlockDataSize = 128;
constexpr int FrameSize = BlockDataSize + 3; // after SOH: number, its complement, data, checksum

// The checksum of one block: the 8-bit sum of its BlockDataSize data bytes.
inline uchar xmChecksum(const uchar *data)
{
    uchar sum = 0;
    for (int i = 0; i < BlockDataSize; ++i)
        sum = uchar(sum + data[i]);
    return sum;
}

// USB-HID: a HID-class interface that answers 69-byte feature reports.
constexpr quint16 UsbHidVendorId = 0x16C0;
constexpr quint16 UsbHidProductId = 0x05DF;
// What the device reports as its manufacturer; compared exactly after the 8-bit conversion.
constexpr char UsbHidManufacturer[] = "VANT";
// Report ID, 24-bit address, command, 64 data bytes.
constexpr int UsbHidReportSize = 69;
// The manufacturer string is read into 256 UTF-16 units, its terminating zero included.
constexpr int UsbHidManufacturerUnits = 256;

// Bytes 1-4 of a report: the 24-bit address, little-endian, then the command byte.
constexpr int HidAddressOffset = 1;
constexpr int HidCommandOffset = 4;
constexpr int HidDataOffset = 5;
constexpr int HidBlockSize = 64;
// The highest address the report can carry, plus one.
constexpr int HidAddressLimit = 1 << 24;
// The information answer: software id, hardware id (16 bytes each), then the image and
// firmware capacities as 32-bit little-endian numbers.
constexpr int HidIdFieldSize = 16;

namespace HidCommand {
constexpr uchar Info = 0x7F;
constexpr uchar ReadImage = 0x00;
constexpr uchar Write = 0x80; // plus the kind of block
} // namespace HidCommand

enum HidBlockKind { HidImageBlock = 0, HidFirmwareBlock = 1 };
