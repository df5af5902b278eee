#include "device/sim/serialengine.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <time.h>
#include <unistd.h>

using namespace SerialByte;

SerialEngine::SerialEngine(SimDevice &device, int masterFd, int stopFd)
    : m_device(device), m_masterFd(masterFd), m_stopFd(stopFd), m_startNs(nowNs()),
      m_logicalNs(m_startNs)
{
}

qint64 SerialEngine::nowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SerialEngine::logBytes(const char *direction, const char *data, int size)
{
    if (!m_log || size <= 0)
        return;
    const QByteArray hex = QByteArray(data, size).toHex(' ').toUpper();
    fprintf(m_log, "%.6f %s %s\n", double(nowNs() - m_startNs) / 1e9, direction, hex.constData());
    fflush(m_log);
}

bool SerialEngine::pump(qint64 untilNs)
{
    if (!m_running)
        return false;
    pollfd fds[2] = {{m_masterFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    const nfds_t count = m_stopFd >= 0 ? 2 : 1;
    const qint64 waitNs = std::max<qint64>(0, untilNs - nowNs());
    const timespec timeout{time_t(waitNs / 1000000000), long(waitNs % 1000000000)};
    const int ready = ppoll(fds, count, &timeout, nullptr);
    if (ready < 0) {
        if (errno == EINTR)
            return true; // the stop pipe tells whether it was a stop
        end(Exit::LineFailed);
        return false;
    }
    if (count == 2 && fds[1].revents) {
        end(Exit::Stopped);
        return false;
    }
    if (fds[0].revents & POLLIN) {
        char buffer[512];
        for (;;) {
            const ssize_t n = read(m_masterFd, buffer, sizeof buffer);
            if (n > 0) {
                const qint64 arrivalNs = nowNs();
                logBytes("in ", buffer, int(n));
                // Each byte occupies the line for its wire time after the one before it.
                for (ssize_t i = 0; i < n; ++i) {
                    const qint64 due = std::max(arrivalNs, m_rxLineFreeNs) + byteTimeNs();
                    m_rxLineFreeNs = due;
                    m_rx.push_back({uchar(buffer[i]), due});
                }
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            end(Exit::LineFailed);
            return false;
        }
    } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
        end(Exit::LineFailed);
        return false;
    }
    return true;
}

int SerialEngine::readByte(qint64 deadlineNs)
{
    const qint64 calledNs = nowNs();
    for (;;) {
        if (!m_running)
            return Stop;
        const qint64 now = nowNs();
        if (!m_rx.empty() && m_rx.front().dueNs <= now) {
            const uchar byte = m_rx.front().byte;
            m_logicalNs = std::max(calledNs, m_rx.front().dueNs);
            m_rx.pop_front();
            return byte;
        }
        if (now >= deadlineNs) {
            m_logicalNs = std::max(calledNs, deadlineNs);
            return TimedOut;
        }
        qint64 wake = deadlineNs;
        if (!m_rx.empty())
            wake = std::min(wake, m_rx.front().dueNs);
        if (!pump(wake))
            return Stop;
    }
}

bool SerialEngine::sleepUntil(qint64 untilNs)
{
    while (nowNs() < untilNs) {
        if (!pump(untilNs))
            return false;
    }
    m_logicalNs = std::max(m_logicalNs, untilNs);
    return m_running;
}

void SerialEngine::purgeInput()
{
    pump(0);
    m_rx.clear();
}

bool SerialEngine::writeNow(const char *data, int size)
{
    qint64 stallDeadline = 0;
    while (size > 0) {
        const ssize_t n = write(m_masterFd, data, size_t(size));
        if (n > 0) {
            logBytes("out", data, int(n));
            data += n;
            size -= int(n);
            stallDeadline = 0;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The pseudo-terminal's buffer is full: nobody reads the port.
            if (stallDeadline == 0)
                stallDeadline = nowNs() + msToNs(WriteStallLimitMs);
            if (nowNs() >= stallDeadline) {
                fprintf(stderr, "vant-devsim: output stalled for %d ms, %d bytes dropped\n",
                        WriteStallLimitMs, size);
                return false;
            }
            pollfd fds[2] = {{m_masterFd, POLLOUT, 0}, {m_stopFd, POLLIN, 0}};
            const nfds_t count = m_stopFd >= 0 ? 2 : 1;
            if (poll(fds, count, 10) > 0 && count == 2 && fds[1].revents) {
                end(Exit::Stopped);
                return false;
            }
            continue;
        }
        end(Exit::LineFailed);
        return false;
    }
    return true;
}

bool SerialEngine::send(const QByteArray &bytes)
{
    if (!m_running)
        return false;
    const qint64 t = byteTimeNs();
    if (t == 0)
        return writeNow(bytes.constData(), int(bytes.size()));
    // Byte i reaches the program when its ten bits have crossed the line; each
    // burst is written when its last byte is due, so none arrives early. The
    // line starts when the device decided to answer, not when this process
    // happened to be scheduled again: the simulator's own wake-up latency is
    // not the device's.
    const int n = int(bytes.size());
    const qint64 base = std::max(m_txLineFreeNs, m_logicalNs);
    m_txLineFreeNs = base + n * t;
    for (int i = 0; i < n; i += WriteBurst) {
        const int j = std::min(n, i + WriteBurst);
        if (!sleepUntil(base + j * t) || !writeNow(bytes.constData() + i, j - i))
            return false;
    }
    return true;
}

QByteArray SerialEngine::frame(int number, const QByteArray &data, bool badChecksum) const
{
    QByteArray f;
    f.reserve(1 + FrameSize);
    f.append(char(SOH));
    f.append(char(number & 0xFF));
    f.append(char(~number & 0xFF));
    f.append(data.left(BlockDataSize));
    while (f.size() < 3 + BlockDataSize)
        f.append(char(0xFF));
    const uchar sum = xmChecksum(reinterpret_cast<const uchar *>(f.constData()) + 3);
    f.append(char(badChecksum ? uchar(sum + 1) : sum));
    return f;
}

void SerialEngine::identify()
{
    const SimFaults &faults = m_device.faults;
    if (!sleepMs(faults.delayMs(FaultKind::DelayId)))
        return;
    QByteArray reply;
    if (faults.has(FaultKind::GarbageBeforeId)) {
        QRandomGenerator *random = QRandomGenerator::global();
        const int count = 16 + int(random->bounded(16));
        while (reply.size() < count) {
            const uchar byte = uchar(random->bounded(256));
            if (byte != STX)
                reply.append(char(byte));
        }
    }
    if (faults.has(FaultKind::EmptyEtx)) {
        reply.append(char(STX));
        reply.append(char(ETX));
    }
    reply.append(char(STX));
    reply.append(m_device.identificationText());
    if (!faults.has(FaultKind::StxNoEtx))
        reply.append(char(ETX));
    send(reply);
}

bool SerialEngine::awaitStartNak()
{
    // The program starts the transfer with NAK right after the command.
    const qint64 startDeadline = nowNs() + msToNs(SenderStartTimeoutMs);
    for (;;) {
        const int c = readByte(startDeadline);
        if (c == NAK)
            return true;
        if (c == TimedOut || c == Stop || c == CAN)
            return false;
        if (isCommand(c)) {
            m_pendingCommand = c;
            return false;
        }
    }
}

SerialEngine::Reply SerialEngine::awaitReply()
{
    const qint64 deadline = nowNs() + msToNs(SenderReplyTimeoutMs);
    for (;;) {
        const int c = readByte(deadline);
        if (c == ACK)
            return Reply::Ack;
        if (c == NAK)
            return Reply::Nak;
        if (c == CAN || c == TimedOut || c == Stop)
            return Reply::GiveUp;
        if (isCommand(c)) {
            m_pendingCommand = c;
            return Reply::GiveUp;
        }
    }
}

bool SerialEngine::loadBlocks(QByteArray *image, int *blocks)
{
    const SimFaults &faults = m_device.faults;
    QString error;
    if (!m_device.loadImage(image, &error)) {
        fprintf(stderr, "vant-devsim: %s\n", qPrintable(error));
        purgeInput();
        sendByte(CAN);
        return false;
    }
    *blocks = int((image->size() + BlockDataSize - 1) / BlockDataSize);
    if (faults.has(FaultKind::ExtraBlock))
        *blocks = SimFaults::ExtraBlockCount;
    if (faults.has(FaultKind::EotFirst))
        *blocks = 0;
    // The last block is filled up with 0xFF, as the program fills its own.
    if (image->size() < *blocks * BlockDataSize)
        image->append(QByteArray(*blocks * BlockDataSize - int(image->size()), char(0xFF)));
    return true;
}

bool SerialEngine::sendImageBlock(const QByteArray &image, int k)
{
    const SimFaults &faults = m_device.faults;
    const int delay = faults.delayMs(FaultKind::DelayBlock, k)
                      + (k == 1 ? faults.delayMs(FaultKind::DelayFirstBlock) : 0);
    if (!sleepMs(delay))
        return false;
    if (faults.atBlock(FaultKind::CanBlock, k)) {
        purgeInput();
        sendByte(CAN);
        return false;
    }
    const int source = faults.atBlock(FaultKind::RepeatBlock, k) ? k - 1 : k;
    const int number = faults.atBlock(FaultKind::WrongNumber, k) ? k + 1 : source;
    const QByteArray data = image.mid((source - 1) * BlockDataSize, BlockDataSize);
    if (faults.atBlock(FaultKind::TruncateBlock, k)) {
        purgeInput();
        send(frame(number, data, false).left(TruncatedFrameBytes));
        return false;
    }
    // A damaged checksum is line noise: the block goes out intact when refused.
    bool badChecksum = faults.atBlock(FaultKind::BadChecksum, k);
    for (int sends = 0; sends < SenderMaxSends; ++sends) {
        purgeInput();
        if (!send(frame(number, data, badChecksum)))
            return false;
        badChecksum = false;
        const Reply reply = awaitReply();
        if (reply == Reply::Ack)
            return true;
        if (reply == Reply::GiveUp)
            return false;
    }
    sendByte(CAN);
    return false;
}

void SerialEngine::sendEndOfTransfer()
{
    for (int sends = 0; sends < SenderMaxSends; ++sends) {
        purgeInput();
        if (!sendByte(EOT) || awaitReply() != Reply::Nak)
            return;
    }
}

void SerialEngine::sendImage()
{
    const int unplugAt = m_device.faults.unplugAfter();
    if (!awaitStartNak())
        return;
    if (unplugAt == 0) {
        unplug();
        return;
    }
    QByteArray image;
    int blocks = 0;
    if (!loadBlocks(&image, &blocks))
        return;
    for (int k = 1; k <= blocks; ++k) {
        if (!sendImageBlock(image, k))
            return;
        if (k == unplugAt) {
            unplug();
            return;
        }
    }
    sendEndOfTransfer();
}

void SerialEngine::finishReception(const Reception &reception)
{
    // Acknowledged only once the data are safely stored.
    QString error;
    const bool stored = reception.target == Target::Image ? m_device.storeImage(reception.received, &error)
                                                          : m_device.storeFirmware(reception.received, &error);
    if (!stored) {
        fprintf(stderr, "vant-devsim: %s\n", qPrintable(error));
        sendByte(CAN);
        return;
    }
    sendByte(ACK);
}

int SerialEngine::readFrameRest(QByteArray *rest)
{
    const qint64 frameDeadline = nowNs() + msToNs(FrameTimeoutMs);
    while (rest->size() < FrameSize) {
        const int b = readByte(frameDeadline);
        if (b == Stop || b == TimedOut)
            return b;
        rest->append(char(b));
    }
    return 0;
}

bool SerialEngine::takeFrame(const QByteArray &rest, Reception &reception, qint64 *deadline)
{
    const SimFaults &faults = m_device.faults;
    if (rest.size() < FrameSize) {
        purgeInput();
        return sendByte(NAK);
    }
    const uchar number = uchar(rest.at(0));
    const uchar complement = uchar(rest.at(1));
    const QByteArray data = rest.mid(2, BlockDataSize);
    const uchar sum = xmChecksum(reinterpret_cast<const uchar *>(data.constData()));
    if (uchar(number ^ complement) != 0xFF || sum != uchar(rest.at(FrameSize - 1))) {
        purgeInput();
        return sendByte(NAK);
    }
    if (reception.started && number == uchar(reception.expected - 1)) {
        // The sender missed our ACK and repeats the block we already hold.
        return sendByte(ACK);
    }
    if (number != uchar(reception.expected)) {
        sendByte(CAN);
        return false;
    }
    reception.started = true;
    const int k = reception.expected;
    if (faults.atBlock(FaultKind::NakBlock, k))
        return sendByte(NAK);
    if (faults.atBlock(FaultKind::CanBlock, k)) {
        sendByte(CAN);
        return false;
    }
    if (reception.received.size() >= reception.capacity) {
        // Memory full: refuse rather than keep a cut image or firmware.
        sendByte(CAN);
        return false;
    }
    reception.received.append(data);
    ++reception.expected;
    if (!sleepMs(faults.delayMs(FaultKind::DelayAck, k)) || !sendByte(ACK))
        return false;
    if (k == faults.unplugAfter()) {
        unplug();
        return false;
    }
    *deadline = nowNs() + msToNs(ReceiverNakIntervalMs);
    return true;
}

void SerialEngine::receive(Target target)
{
    const SimFaults &faults = m_device.faults;
    if (faults.unplugAfter() == 0) {
        unplug();
        return;
    }
    Reception reception;
    reception.target = target;
    reception.capacity = target == Target::Image ? m_device.imageCapacity : m_device.firmwareCapacity;
    const bool askForStart = !faults.has(FaultKind::NoStartNak);
    if (askForStart) {
        if (!sleepMs(faults.delayMs(FaultKind::DelayStartNak)) || !sendByte(NAK))
            return;
    }

    int silences = 0;
    qint64 deadline = nowNs() + msToNs(ReceiverNakIntervalMs);
    for (;;) {
        const int c = readByte(deadline);
        if (c == Stop)
            return;
        if (c == TimedOut) {
            if (++silences >= ReceiverMaxSilences)
                return; // the program has gone away
            if ((reception.started || askForStart) && !sendByte(NAK))
                return;
            deadline = nowNs() + msToNs(ReceiverNakIntervalMs);
            continue;
        }
        if (c == EOT) {
            finishReception(reception);
            return;
        }
        if (c == CAN)
            return;
        if (isCommand(c)) {
            m_pendingCommand = c;
            return;
        }
        if (c != SOH)
            continue; // line noise between frames

        QByteArray rest;
        if (readFrameRest(&rest) == Stop)
            return;
        silences = 0;
        deadline = nowNs() + msToNs(ReceiverNakIntervalMs);
        if (!takeFrame(rest, reception, &deadline))
            return;
    }
}

SerialEngine::Exit SerialEngine::run()
{
    const qint64 idleWaitNs = msToNs(3600 * 1000);
    while (m_running) {
        int c;
        if (m_pendingCommand >= 0) {
            c = m_pendingCommand;
            m_pendingCommand = -1;
        } else {
            c = readByte(nowNs() + idleWaitNs);
        }
        if (c < 0 || m_device.faults.has(FaultKind::Silence))
            continue;
        switch (c) {
        case SerialCommand::Identify:
            identify();
            break;
        case SerialCommand::Download:
            sendImage();
            break;
        case SerialCommand::Upload:
            receive(Target::Image);
            break;
        case SerialCommand::Firmware:
            receive(Target::Firmware);
            break;
        default:
            break; // anything else between commands is noise
        }
    }
    return m_exit;
}
