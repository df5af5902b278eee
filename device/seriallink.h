#pragma once
// One serial link: its port, whether the port has failed under us, the deadline of the wait in
// progress, and the XMODEM frame and block number of the transfer in progress. A link belongs
// to one worker; it is opened, used and closed on that worker's thread.
#include "device/protocol.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

class QSerialPort;

// The rate SerialLink::setup applies for a requested rate.
int comBaudFor(int requested);

class SerialLink
{
public:
    SerialLink();
    ~SerialLink(); // closes the port
    SerialLink(const SerialLink &) = delete;
    SerialLink &operator=(const SerialLink &) = delete;

    // Opens the port `name`: a port name as the system lists it (ttyUSB0, COM1) or an absolute
    // device path (/dev/pts/5, or a symlink to one). Exclusive. On failure prints
    // "COM Error <errno>" on standard error and returns false.
    bool open(const QString &name);

    // A link with no port, for fuzzing the protocol with what a device might say: the device
    // gives `replies` one after the other. A read that would wait and finds nothing receives
    // the next reply at once, as if the device had spoken during the wait; a read that does
    // not wait sees only what has arrived. Once the replies are used up, the device is gone
    // (failed()), so every wait ends at once and no run depends on the clock. Writes are kept.
    void openScripted(const QList<QByteArray> &replies);
    const QByteArray &scriptedWritten() const { return m_scriptWritten; }

    // Line settings: baud 2400..115200 from the standard table, anything else runs at 1200;
    // parity 0 none, 1 odd, 2 even; stop bits 1 or 2. DTR and RTS are held off. Settings the
    // port cannot take (a pseudo-terminal has no modem lines) are ignored.
    void setup(int baud, int dataBits, int parity, int stopBits, bool hardwareFlow);

    // Returns at once with up to n bytes already received; otherwise waits up to ms
    // milliseconds for the first byte. 0 when nothing arrived, when no port is open, or when
    // the port has failed.
    int read(uchar *buffer, int n, int ms);

    // Writes all n bytes; returns how many went out (fewer only when the port failed or stalled).
    int writeAll(const uchar *bytes, int n);

    // Waits for what was written to leave the port, then closes it.
    void close();
    bool isOpen() const { return m_port != nullptr || m_scripted; }

    // True once the open port has failed under us (the adapter was unplugged, the far end of a
    // pseudo-terminal went away). Reads and writes then return 0 at once, and every wait of the
    // protocol ends instead of running to its deadline. Cleared by the next open.
    bool failed() const { return m_failed; }

    // The one deadline of the protocol's waits, on the monotonic clock: setting the wall clock
    // neither stretches nor cuts a wait.
    void deadlineSet(int ms) { m_deadline.setRemainingTime(ms, Qt::PreciseTimer); }
    // Milliseconds left until the deadline; 0 once it has passed.
    qint64 deadlineLeft() const { return m_deadline.remainingTime(); }

    // Whether the operation using the link has been asked to stop. Every wait of the link and
    // of the protocol looks at it at least every few milliseconds, so a cancel is honoured at
    // once whatever the device does; none is asked without a check.
    void setCancelCheck(std::function<bool()> check) { m_cancelCheck = std::move(check); }
    bool cancelled() const { return m_cancelCheck && m_cancelCheck(); }
    // Sleeps `ms` milliseconds, less when a cancel is asked.
    void pause(int ms) const;

    // The frame after SOH of the block being sent or received, and the number of the next block.
    uchar *frame() { return m_frame; }
    uchar *frameData() { return m_frame + 2; }
    quint8 blockNumber() const { return m_blockNumber; }
    void setBlockNumber(quint8 number) { m_blockNumber = number; }

private:
    bool hungUp() const;
    void checkFailure();
    void drainOutput();

    int scriptedRead(uchar *buffer, int n, int ms);

    std::unique_ptr<QSerialPort> m_port;
    bool m_scripted = false;
    QList<QByteArray> m_scriptReplies;
    QByteArray m_scriptArrived;
    QByteArray m_scriptWritten;
    std::function<bool()> m_cancelCheck;
    bool m_failed = false;
    QDeadlineTimer m_deadline;
    uchar m_frame[FrameSize] = {};
    quint8 m_blockNumber = 1;
};
