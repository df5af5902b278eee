#include "device/serialprotocol.h"

#include "device/device.h"
#include "device/seriallink.h"

#include <QByteArray>

#include <cstring>

using namespace SerialByte;

namespace {

constexpr int LineBaud = 115200;

void sendByte(SerialLink &link, uchar byte)
{
    link.writeAll(&byte, 1);
}

// One byte with the 1 ms time-out used inside every wait; false on silence.
bool readByte(SerialLink &link, uchar *byte, int ms = ByteTimeoutMs)
{
    return link.read(byte, 1, ms) == 1;
}

// A wait ends at its deadline, at once when the port has failed (reads then return nothing
// immediately, and waiting on would only spin), and at once when a cancel is asked.
bool timeLeft(const SerialLink &link)
{
    return link.deadlineLeft() > 0 && !link.failed() && !link.cancelled();
}

// Ends a transfer the user cancelled: the device is told with CAN, so it stops sending or
// waiting for blocks and keeps what it had.
int cancelTransfer(SerialLink &link)
{
    sendByte(link, CAN);
    return Canceled;
}

// Sends `length` bytes as blocks after the start handshake; 0, ProtocolError, or Canceled
// (after telling the device with CAN).
int sendBlocks(SerialLink &link, Device &device, const uchar *data, qint64 length)
{
    qint64 sent = 0;
    for (qint64 offset = 0; offset < length; offset += BlockDataSize) {
        const int piece = int(qMin<qint64>(BlockDataSize, length - offset));
        std::memcpy(link.frameData(), data + offset, size_t(piece));
        std::memset(link.frameData() + piece, 0xFF, size_t(BlockDataSize - piece));
        if (xmSendBlock(link) != Block::Done)
            return device.isCancelRequested() ? cancelTransfer(link) : ProtocolError;
        ++sent;
        device.setProgress(int(sent * 12800 / length));
        if (device.isCancelRequested())
            return cancelTransfer(link);
    }
    return Ok;
}

// Sends the command letter until the device, now the receiver, asks for the first block.
int startSending(SerialLink &link, Device &device, uchar command)
{
    for (;;) {
        sendByte(link, command);
        if (xmWaitStart(link, StartNakTimeoutMs))
            return Ok;
        if (device.isCancelRequested())
            return Canceled;
        if (link.failed())
            return ProtocolError;
    }
}

// A download's progress against the image's real size, known from its first block: the
// 16-bit data size, the header and the CRC, in whole blocks. Before that, or for a header
// that says more than a device holds, against the most a device holds.
int downloadProgress(const QByteArray &image)
{
    qint64 total = ImageCapacity;
    if (image.size() >= 2) {
        const qint64 announced = uchar(image[0]) | uchar(image[1]) << 8;
        const qint64 blocks = (announced + 4 + BlockDataSize - 1) / BlockDataSize;
        total = qMin<qint64>(blocks * BlockDataSize, ImageCapacity);
    }
    return int(qMin<qint64>(100, image.size() * 100 / total));
}

void setIdentifiers(Device &device, const QByteArray &text)
{
    const qsizetype lineFeed = text.indexOf('\n');
    if (lineFeed < 0)
        device.setIdentifiers(QString::fromLatin1(text), QString::fromLatin1(text));
    else
        device.setIdentifiers(QString::fromLatin1(text.left(lineFeed)), QString::fromLatin1(text.mid(lineFeed + 1)));
}

} // namespace

void serialDrain(SerialLink &link)
{
    if (link.failed())
        return;
    link.pause(DrainSettleMs);
    uchar discard[BlockDataSize];
    while (link.read(discard, BlockDataSize, 0) > 0) {
    }
}

int serialIdentify(SerialLink &link, Device &device)
{
    serialDrain(link);
    sendByte(link, SerialCommand::Identify);
    link.deadlineSet(IdentifyTimeoutMs);
    QByteArray text;
    bool started = false;
    bool complete = false;
    for (;;) {
        uchar byte;
        // Read for as long as bytes keep coming; only silence tests the deadline, so a device
        // that keeps talking keeps the exchange alive.
        while (!complete && readByte(link, &byte, IdentifyByteTimeoutMs)) {
            // A device that never stops talking (line noise, a wrong line speed) would
            // otherwise never let a cancel through.
            if (device.isCancelRequested())
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
        if (device.isCancelRequested())
            return Canceled;
        if (complete)
            break;
        if (!timeLeft(link)) {
            device.setIdentifiers(QStringLiteral("?"), QStringLiteral("?"));
            return ProtocolError;
        }
    }
    setIdentifiers(device, text);
    return Ok;
}

bool xmWaitStart(SerialLink &link, int ms)
{
    link.deadlineSet(ms);
    while (timeLeft(link)) {
        uchar byte;
        if (readByte(link, &byte) && byte == NAK)
            return true;
    }
    return false;
}

int xmSendBlock(SerialLink &link)
{
    uchar *frame = link.frame();
    frame[0] = link.blockNumber();
    frame[1] = uchar(~link.blockNumber());
    frame[FrameSize - 1] = xmChecksum(link.frameData());
    sendByte(link, SOH);
    link.writeAll(frame, FrameSize);
    link.deadlineSet(BlockReplyTimeoutMs);
    while (timeLeft(link)) {
        uchar byte;
        if (!readByte(link, &byte))
            continue;
        if (byte == NAK)
            return Block::Refused;
        if (byte == ACK) {
            link.setBlockNumber(quint8(link.blockNumber() + 1));
            return Block::Done;
        }
        if (byte == CAN)
            return Block::CanceledByDevice;
    }
    return Block::TimedOut;
}

int xmReceiveBlock(SerialLink &link, int ms)
{
    uchar *frame = link.frame();
    for (int attempt = 0; attempt < ReceiveAttempts; ++attempt) {
        if (link.failed() || link.cancelled())
            return Block::TimedOut;
        link.deadlineSet(ms);
        uchar first = 0;
        bool arrived = false;
        while (!arrived && timeLeft(link))
            arrived = readByte(link, &first);
        if (!arrived) {
            if (link.cancelled())
                return Block::TimedOut;
            sendByte(link, NAK);
            continue;
        }
        if (first == CAN)
            return Block::CanceledByDevice;
        if (first == EOT)
            return Block::End;
        if (first != SOH)
            continue;

        link.deadlineSet(FrameRestTimeoutMs);
        int got = 0;
        while (got < FrameSize && timeLeft(link)) {
            if (readByte(link, frame + got))
                ++got;
        }
        if (got < FrameSize) {
            if (link.cancelled())
                return Block::TimedOut;
            sendByte(link, NAK);
            continue;
        }
        const bool complementRight = frame[1] == uchar(~frame[0]);
        if (frame[0] == link.blockNumber() && complementRight
            && frame[FrameSize - 1] == xmChecksum(link.frameData())) {
            link.setBlockNumber(quint8(link.blockNumber() + 1));
            return Block::Done;
        }
        if (frame[0] != link.blockNumber() && complementRight) {
            sendByte(link, CAN);
            return Block::SequenceError;
        }
        sendByte(link, NAK);
    }
    return Block::TimedOut;
}

int serialDownload(SerialLink &link, Device &device)
{
    const int identified = serialIdentify(link, device);
    if (identified != Ok)
        return identified;
    serialDrain(link);

    int outcome;
    for (;;) {
        sendByte(link, SerialCommand::Download);
        sendByte(link, NAK);
        outcome = xmReceiveBlock(link, FirstBlockTimeoutMs);
        if (device.isCancelRequested())
            return cancelTransfer(link);
        if (outcome != Block::TimedOut)
            break;
        if (link.failed())
            return ProtocolError;
    }

    QByteArray image;
    device.setImage(image);
    while (outcome == Block::Done) {
        image.append(reinterpret_cast<const char *>(link.frameData()), BlockDataSize);
        device.setImage(image);
        device.setProgress(downloadProgress(image));
        sendByte(link, ACK);
        outcome = xmReceiveBlock(link, NextBlockTimeoutMs);
        if (device.isCancelRequested())
            return cancelTransfer(link);
        if (outcome != Block::Done)
            break;
        if (image.size() >= ImageCapacity)
            return ProtocolError; // the block just received has no room left
    }
    if (outcome == Block::End) {
        sendByte(link, ACK);
        return Ok;
    }
    return ProtocolError;
}

int serialUpload(SerialLink &link, Device &device)
{
    const int identified = serialIdentify(link, device);
    if (identified != Ok)
        return identified;
    if (device.softwareId() != device.expectedSoftwareId())
        return Incompatible;
    // No device holds more than ImageCapacity bytes: a larger image is refused before a byte goes out.
    const QByteArray image = device.image();
    if (image.size() > ImageCapacity)
        return Incompatible;
    serialDrain(link);
    const int started = startSending(link, device, SerialCommand::Upload);
    if (started != Ok)
        return started;
    const int sent = sendBlocks(link, device, reinterpret_cast<const uchar *>(image.constData()), image.size());
    if (sent != Ok)
        return sent;
    sendByte(link, EOT);
    return Ok;
}

int serialFirmware(SerialLink &link, Device &device)
{
    const int identified = serialIdentify(link, device);
    if (identified != Ok)
        return identified;
    serialDrain(link);
    QByteArray payload;
    const int checked = firmwareCheck(device.firmwareFile(), device.hardwareId(), &payload);
    if (checked != Ok)
        return checked;
    const int started = startSending(link, device, SerialCommand::Firmware);
    if (started != Ok)
        return started;
    const int sent = sendBlocks(link, device, reinterpret_cast<const uchar *>(payload.constData()),
                                payload.size());
    if (sent != Ok)
        return sent;
    sendByte(link, EOT);
    return Ok;
}

int runSerialConnection(SerialLink &link, Device &device)
{
    link.setCancelCheck([&device] { return device.isCancelRequested(); });
    link.setup(LineBaud, 8, 0, 1, false);
    link.setBlockNumber(1);
    int result;
    switch (device.operation()) {
    case 'I':
        result = serialIdentify(link, device);
        break;
    case 'R':
        result = serialDownload(link, device);
        break;
    case 'W':
        result = serialUpload(link, device);
        break;
    case 'P':
        result = serialFirmware(link, device);
        break;
    default:
        result = ProtocolError;
        break;
    }
    link.close();
    return device.isCancelRequested() ? int(Canceled) : result;
}
