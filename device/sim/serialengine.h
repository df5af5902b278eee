#pragma once
// The device's side of the serial protocol, over the master side of a
// pseudo-terminal: it answers 'I' with the identification text, sends its
// configuration image for 'R' as an XMODEM sender, and receives an image ('W')
// or a firmware payload ('P') as an XMODEM receiver.
//
// By default both directions run at the pace of a 115200 baud 8N1 line: a byte
// the device sends reaches the program no earlier than the line would deliver
// it, and a byte the program sends is acted on no earlier than its wire time
// after the previous one.
#include "device/protocol.h"
#include "device/sim/simdevice.h"

#include <QByteArray>
#include <cstdio>
#include <deque>

class SerialEngine
{
public:
    enum class Exit {
        Stopped,    // a stop was requested (the stop descriptor became readable)
        Unplugged,  // the unplug fault fired: the caller removes the port and ends
        LineFailed, // the pseudo-terminal master failed
    };

    static constexpr int BaudRate = 115200;
    static constexpr int BitsPerByte = 10; // start bit, 8 data bits, stop bit

    // How long the device waits, as a sender, for the program's start NAK and
    // for the reply to a block or to EOT before it gives the transfer up.
    static constexpr int SenderStartTimeoutMs = 10000;
    static constexpr int SenderReplyTimeoutMs = 10000;
    static constexpr int SenderMaxSends = 10; // sends of one block before giving up
    // As a receiver: NAK again after each second of silence, for ten seconds.
    static constexpr int ReceiverNakIntervalMs = 1000;
    static constexpr int ReceiverMaxSilences = 10;
    static constexpr int FrameTimeoutMs = 1000; // rest of a frame after SOH
    // A write that cannot get into the pseudo-terminal for this long is dropped:
    // nobody has been reading the port.
    static constexpr int WriteStallLimitMs = 2000;
    // Bytes of a frame that the truncate fault sends.
    static constexpr int TruncatedFrameBytes = 64;

    // masterFd must be non-blocking. stopFd becomes readable when the device
    // should end (a signal handler writes to a pipe); -1 for none.
    SerialEngine(SimDevice &device, int masterFd, int stopFd);

    void setPacing(bool on) { m_pace = on; }
    // Every byte exchanged, in hex with its direction, one line per chunk.
    void setLog(FILE *log) { m_log = log; }

    // Serves commands one after another until a stop, an unplug or a failure.
    Exit run();

private:
    enum : int { TimedOut = -1, Stop = -2 };

    struct RxByte {
        uchar byte;
        qint64 dueNs;
    };

    static qint64 nowNs();
    static qint64 msToNs(qint64 ms) { return ms * 1000000; }
    qint64 byteTimeNs() const { return m_pace ? ByteTimeNs : 0; }

    // Waits for input until untilNs or until something arrives; false on stop or failure.
    bool pump(qint64 untilNs);
    // The next byte the program sent, once its wire time has come; TimedOut or Stop.
    int readByte(qint64 deadlineNs);
    // Sleeps until untilNs while still taking input in; false on stop or failure.
    bool sleepUntil(qint64 untilNs);
    bool sleepMs(int ms) { return ms <= 0 || sleepUntil(nowNs() + msToNs(ms)); }
    bool send(const QByteArray &bytes);
    bool sendByte(uchar byte) { return send(QByteArray(1, char(byte))); }
    bool writeNow(const char *data, int size);
    // Throws away what the program has sent so far, as a UART purge before a
    // new frame: a stale NAK must not be taken as the reply to the next block.
    void purgeInput();
    void logBytes(const char *direction, const char *data, int size);
    void end(Exit why)
    {
        if (m_running)
            m_exit = why;
        m_running = false;
    }
    // A command letter inside a transfer means the program has given the
    // transfer up and starts anew: the letter is kept for the command loop.
    static bool isCommand(int byte)
    {
        return byte == SerialCommand::Identify || byte == SerialCommand::Download
               || byte == SerialCommand::Upload || byte == SerialCommand::Firmware;
    }

    void identify();

    // Sending the image ('R').
    enum class Reply { Ack, Nak, GiveUp };
    bool awaitStartNak();
    // The program's answer to a block or to EOT; GiveUp on CAN, silence, a stop or a new command.
    Reply awaitReply();
    // The stored image in whole blocks, and how many the faults let go out; false after CAN.
    bool loadBlocks(QByteArray *image, int *blocks);
    // Sends block k until acknowledged; false when the transfer ends here.
    bool sendImageBlock(const QByteArray &image, int k);
    void sendEndOfTransfer();
    void sendImage();

    // Receiving an image ('W') or firmware ('P').
    enum class Target { Image, Firmware };
    struct Reception {
        Target target = Target::Image;
        int capacity = 0;
        QByteArray received;
        int expected = 1; // the next block, counted from 1; the wire carries it modulo 256
        bool started = false;
    };
    // The rest of a frame after SOH; 0, or TimedOut or Stop with what came so far.
    int readFrameRest(QByteArray *rest);
    // Answers one frame; false when the reception ends here.
    bool takeFrame(const QByteArray &rest, Reception &reception, qint64 *deadline);
    void finishReception(const Reception &reception);
    void receive(Target target);
    QByteArray frame(int number, const QByteArray &data, bool badChecksum) const;
    void unplug() { end(Exit::Unplugged); }

    // Rounded up, so the device is never faster than the line.
    static constexpr qint64 ByteTimeNs = (qint64(1000000000) * BitsPerByte + BaudRate - 1) / BaudRate;
    static constexpr int WriteBurst = 4; // bytes written at once when pacing

    SimDevice &m_device;
    int m_masterFd;
    int m_stopFd;
    bool m_pace = true;
    FILE *m_log = nullptr;
    qint64 m_startNs;
    // The moment the device last acted: a byte taken in (at its wire time), a
    // time-out or a deliberate delay. Replies start on the line from here.
    qint64 m_logicalNs;
    std::deque<RxByte> m_rx;
    qint64 m_rxLineFreeNs = 0;
    qint64 m_txLineFreeNs = 0;
    int m_pendingCommand = -1;
    bool m_running = true;
    Exit m_exit = Exit::Stopped;
};
