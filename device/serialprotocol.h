#pragma once
// The conversation with the device over the serial port: identification in STX/ETX framing,
// then XMODEM blocks (128 data bytes, 8-bit arithmetic checksum, started by the receiver's NAK).
// The port is open and set up; the functions run on the worker thread.
#include <QtGlobal>

class Device;

namespace SerialByte {
constexpr uchar SOH = 0x01;
constexpr uchar STX = 0x02;
constexpr uchar ETX = 0x03;
constexpr uchar EOT = 0x04;
constexpr uchar ACK = 0x06;
constexpr uchar NAK = 0x15;
constexpr uchar CAN = 0x18;
} // namespace SerialByte

// Block outcomes.
namespace Block {
constexpr int Done = 0;
constexpr int End = 1;             // EOT received
constexpr int CanceledByDevice = 0x81;
constexpr int SequenceError = 0x82; // answered with CAN
constexpr int TimedOut = 0x83;
constexpr int Refused = 0x84;      // NAK received
} // namespace Block

constexpr int BlockDataSize = 128;
constexpr int FrameSize = 131; // after SOH: number, its complement, data, checksum
constexpr int IdentifyTextMax = 63;

constexpr int DrainSettleMs = 100;
constexpr int IdentifyTimeoutMs = 1000;
constexpr int IdentifyByteTimeoutMs = 100;
constexpr int StartNakTimeoutMs = 2000;
constexpr int FirstBlockTimeoutMs = 2000;
constexpr int NextBlockTimeoutMs = 1000;
constexpr int FrameRestTimeoutMs = 1000;
constexpr int BlockReplyTimeoutMs = 5000;
constexpr int ByteTimeoutMs = 1;
constexpr int ReceiveAttempts = 9;

// Process-wide, like the port: the frame after SOH, and the number of the next block.
extern uchar xmFrame[FrameSize];
extern quint8 blockNumber;

inline uchar *xmFrameData() { return xmFrame + 2; }

void serialDrain();
int serialIdentify(Device *device);
bool xmWaitStart(int ms);
int xmSendBlock();
int xmReceiveBlock(int ms);
int serialDownload(Device *device);
int serialUpload(Device *device);
int serialFirmware(Device *device);
