#pragma once
// The conversation with the device over a serial link: identification in STX/ETX framing,
// then XMODEM blocks (see protocol.h). The link is open and set up; the functions run on the
// worker thread that owns the link.
#include "device/protocol.h"

class Device;
class SerialLink;

// Block outcomes.
namespace Block {
constexpr int Done = 0;
constexpr int End = 1;             // EOT received
constexpr int CanceledByDevice = 0x81;
constexpr int SequenceError = 0x82; // answered with CAN
constexpr int TimedOut = 0x83;
constexpr int Refused = 0x84;      // NAK received
} // namespace Block

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

void serialDrain(SerialLink &link);
int serialIdentify(SerialLink &link, Device &device);
bool xmWaitStart(SerialLink &link, int ms);
// Sends the link's frame data as the next block.
int xmSendBlock(SerialLink &link);
// Receives the next block into the link's frame.
int xmReceiveBlock(SerialLink &link, int ms);
int serialDownload(SerialLink &link, Device &device);
int serialUpload(SerialLink &link, Device &device);
int serialFirmware(SerialLink &link, Device &device);

// Runs the operation of `device` over the open link from block 1 and returns its result code.
int runSerialConnection(SerialLink &link, Device &device);
