#include "device/serialprotocol.h"

#include "device/device.h"
#include "device/serialport.h"

#include <QByteArray>
#include <QThread>

#include <cstring>

using namespace SerialByte;

uchar xmFrame[FrameSize];
quint8 blockNumber = 1;

namespace {

void sendByte(uchar byte)
{
    comWriteAll(&byte, 1);
}

uchar checksum(const uchar *data)
{
    uchar sum = 0;
    for (int i = 0; i < BlockDataSize; ++i)
        sum = uchar(sum + data[i]);
    return sum;
}

// One byte with the 1 ms time-out used inside every wait; false on silence.
bool readByte(uchar *byte, int ms = ByteTimeoutMs)
{
    return comRead(byte, 1, ms) == 1;
}

// A wait ends at its deadline, or at once when the port has failed: reads then return
// nothing immediately, and waiting on would only spin.
bool timeLeft()
{
    return deadlineLeft() > 0 && !comFailed();
}

// Sends `length` bytes as blocks after the start handshake; 0, ProtocolError, or Canceled
// (after telling the device with CAN).
int sendBlocks(Device *device, const uchar *data, qint64 length)
{
    qint64 sent = 0;
    for (qint64 offset = 0; offset < length; offset += BlockDataSize) {
        const int piece = int(qMin<qint64>(BlockDataSize, length - offset));
        std::memcpy(xmFrameData(), data + offset, size_t(piece));
        std::memset(xmFrameData() + piece, 0xFF, size_t(BlockDataSize - piece));
        if (xmSendBlock() != Block::Done)
            return ProtocolError;
        ++sent;
        device->setProgress(qint32(sent * 12800 / length));
        if (device->canceled()) {
            sendByte(CAN);
            return Canceled;
        }
    }
    return Ok;
}

// Sends the command letter until the device, now the receiver, asks for the first block.
int startSending(Device *device, uchar command)
{
    for (;;) {
        sendByte(command);
        if (device->canceled())
            return Canceled;
        if (xmWaitStart(StartNakTimeoutMs))
            return Ok;
        if (comFailed())
            return ProtocolError;
    }
}

} // namespace

void serialDrain()
{
    if (comFailed())
        return;
    QThread::msleep(DrainSettleMs);
    uchar discard[BlockDataSize];
    while (comRead(discard, BlockDataSize, 0) > 0) {
    }
}

int serialIdentify(Device *device)
{
    serialDrain();
    sendByte('I');
    deadlineSet(IdentifyTimeoutMs);
    QByteArray text;
    bool started = false;
    bool complete = false;
    for (;;) {
        uchar byte;
        // Read for as long as bytes keep coming; only silence tests the deadline, so a device
        // that keeps talking keeps the exchange alive.
        while (!complete && readByte(&byte, IdentifyByteTimeoutMs)) {
            // A device that never stops talking (line noise, a wrong line speed) would
            // otherwise never let a cancel through.
            if (device->canceled())
                return Canceled;
            if (byte == STX) {
                started = true;
                text.clear();
            } else if (byte == ETX) {
                complete = started && !text.isEmpty();
            } else if (started && text.size() < IdentifyTextMax) {
                text.append(char(byte));
            }
        }
        if (device->canceled())
            return Canceled;
        if (complete)
            break;
        if (!timeLeft()) {
            device->hardwareId = device->softwareId = QStringLiteral("?");
            return ProtocolError;
        }
    }
    const qsizetype lineFeed = text.indexOf('\n');
    if (lineFeed < 0) {
        device->hardwareId = device->softwareId = QString::fromLatin1(text);
    } else {
        device->hardwareId = QString::fromLatin1(text.left(lineFeed));
        device->softwareId = QString::fromLatin1(text.mid(lineFeed + 1));
    }
    return Ok;
}

bool xmWaitStart(int ms)
{
    deadlineSet(ms);
    while (timeLeft()) {
        uchar byte;
        if (readByte(&byte) && byte == NAK)
            return true;
    }
    return false;
}

int xmSendBlock()
{
    xmFrame[0] = blockNumber;
    xmFrame[1] = uchar(~blockNumber);
    xmFrame[FrameSize - 1] = checksum(xmFrameData());
    sendByte(SOH);
    comWriteAll(xmFrame, FrameSize);
    deadlineSet(BlockReplyTimeoutMs);
    while (timeLeft()) {
        uchar byte;
        if (!readByte(&byte))
            continue;
        if (byte == NAK)
            return Block::Refused;
        if (byte == ACK) {
            ++blockNumber;
            return Block::Done;
        }
        if (byte == CAN)
            return Block::CanceledByDevice;
    }
    return Block::TimedOut;
}

int xmReceiveBlock(int ms)
{
    for (int attempt = 0; attempt < ReceiveAttempts; ++attempt) {
        if (comFailed())
            return Block::TimedOut;
        deadlineSet(ms);
        uchar first = 0;
        bool arrived = false;
        while (!arrived && timeLeft())
            arrived = readByte(&first);
        if (!arrived) {
            sendByte(NAK);
            continue;
        }
        if (first == CAN)
            return Block::CanceledByDevice;
        if (first == EOT)
            return Block::End;
        if (first != SOH)
            continue;

        deadlineSet(FrameRestTimeoutMs);
        int got = 0;
        while (got < FrameSize && timeLeft()) {
            if (readByte(xmFrame + got))
                ++got;
        }
        if (got < FrameSize) {
            sendByte(NAK);
            continue;
        }
        const bool complementRight = xmFrame[1] == uchar(~xmFrame[0]);
        if (xmFrame[0] == blockNumber && complementRight
            && xmFrame[FrameSize - 1] == checksum(xmFrameData())) {
            ++blockNumber;
            return Block::Done;
        }
        if (xmFrame[0] != blockNumber && complementRight) {
            sendByte(CAN);
            return Block::SequenceError;
        }
        sendByte(NAK);
    }
    return Block::TimedOut;
}

int serialDownload(Device *device)
{
    const int identified = serialIdentify(device);
    if (identified != Ok)
        return identified;
    serialDrain();

    int outcome;
    for (;;) {
        sendByte('R');
        sendByte(NAK);
        outcome = xmReceiveBlock(FirstBlockTimeoutMs);
        if (outcome != Block::TimedOut)
            break;
        if (device->canceled())
            return Canceled;
        if (comFailed())
            return ProtocolError;
    }

    device->imageLength = 0;
    while (outcome == Block::Done) {
        device->setProgress(device->imageLength * 100 / ImageCapacity);
        std::memcpy(device->image + device->imageLength, xmFrameData(), BlockDataSize);
        device->imageLength += BlockDataSize;
        sendByte(ACK);
        outcome = xmReceiveBlock(NextBlockTimeoutMs);
        if (outcome != Block::Done)
            break;
        if (device->imageLength >= ImageCapacity)
            return ProtocolError; // the block just received has no room left
    }
    if (outcome == Block::End) {
        sendByte(ACK);
        return Ok;
    }
    return ProtocolError;
}

int serialUpload(Device *device)
{
    const int identified = serialIdentify(device);
    if (identified != Ok)
        return identified;
    if (device->softwareId != device->expectedSoftwareId)
        return Incompatible;
    // The caller's length is trusted nowhere else: reading past the image buffer would send
    // whatever memory follows it.
    if (device->imageLength < 0 || device->imageLength > ImageCapacity)
        return Incompatible;
    serialDrain();
    const int started = startSending(device, 'W');
    if (started != Ok)
        return started;
    const int sent = sendBlocks(device, device->image, device->imageLength);
    if (sent != Ok)
        return sent;
    sendByte(EOT);
    return Ok;
}

int serialFirmware(Device *device)
{
    const int identified = serialIdentify(device);
    if (identified != Ok)
        return identified;
    serialDrain();
    QByteArray payload;
    const int checked = firmwareCheck(device->firmwareFile, device->hardwareId, &payload);
    if (checked != Ok)
        return checked;
    const int started = startSending(device, 'P');
    if (started != Ok)
        return started;
    const int sent = sendBlocks(device, reinterpret_cast<const uchar *>(payload.constData()),
                                payload.size());
    if (sent != Ok)
        return sent;
    sendByte(EOT);
    return Ok;
}
