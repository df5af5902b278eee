#include "device/seriallink.h"

#include "format/diag.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A stalled write (the far end stopped reading) gives up after this long without progress,
// so a dead line cannot hold the worker, and with it the window, for ever.
constexpr int WriteStallMs = 5000;
// The longest a wait goes without looking at the cancel request.
constexpr int CancelSliceMs = 20;
constexpr int CancelGraceMs = 60;

QString systemLocation(const QString &text)
{
    if (!text.startsWith(QLatin1Char('/')))
        return text; // a port name: QSerialPort finds it under /dev
    // One lock per device, whichever symlink names it.
    const QString canonical = QFileInfo(text).canonicalFilePath();
    return canonical.isEmpty() ? text : canonical;
}

// The system's reason for a failed open, as errno gives it.
int openErrorCode(const QString &location, QSerialPort::SerialPortError error)
{
    const QString path = location.startsWith(QLatin1Char('/')) ? location
                                                               : QLatin1String("/dev/") + location;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    termios settings;
    const int notTerminal = ::tcgetattr(fd, &settings) != 0 ? errno : 0;
    ::close(fd);
    if (notTerminal)
        return notTerminal;
    // The device itself opens: the port is held by someone else, or refused our settings.
    switch (error) {
    case QSerialPort::PermissionError:
        return EBUSY;
    case QSerialPort::DeviceNotFoundError:
        return ENOENT;
    default:
        return EIO;
    }
}

} // namespace

SerialLink::SerialLink() = default;

SerialLink::~SerialLink()
{
    close();
}

bool SerialLink::hungUp() const
{
    if (!m_port)
        return true;
    pollfd pfd{int(m_port->handle()), 0, 0};
    if (pfd.fd < 0)
        return true;
    if (::poll(&pfd, 1, 0) < 0)
        return false;
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Called after a read or write came back short: decides whether the port itself is gone.
void SerialLink::checkFailure()
{
    const QSerialPort::SerialPortError error = m_port->error();
    if ((error != QSerialPort::NoError && error != QSerialPort::TimeoutError) || hungUp())
        m_failed = true;
    m_port->clearError();
}

void SerialLink::openScripted(const QList<QByteArray> &replies)
{
    close();
    m_failed = false;
    m_scripted = true;
    m_scriptReplies = replies;
    m_scriptArrived.clear();
    m_scriptWritten.clear();
}

int SerialLink::scriptedRead(uchar *buffer, int n, int ms)
{
    if (m_scriptArrived.isEmpty() && ms > 0) {
        if (m_scriptReplies.isEmpty()) {
            m_failed = true;
            return 0;
        }
        m_scriptArrived = m_scriptReplies.takeFirst();
    }
    const int got = int(qMin<qsizetype>(n, m_scriptArrived.size()));
    std::memcpy(buffer, m_scriptArrived.constData(), size_t(got));
    m_scriptArrived.remove(0, got);
    return got;
}

bool SerialLink::open(const QString &name)
{
    close();
    m_failed = false;
    const QString location = systemLocation(name);
    // Created here, on the thread that will use it: QSerialPort's notifiers belong to it.
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(location);
    if (port->open(QIODevice::ReadWrite)) {
        port->clearError();
        m_port = std::move(port);
        return true;
    }
    const int code = openErrorCode(location, port->error());
    diagErr("COM Error %ld\n", long(code));
    return false;
}

int comBaudFor(int requested)
{
    switch (requested) {
    case 2400: case 4800: case 9600: case 19200: case 38400: case 57600: case 115200:
        return requested;
    default:
        return 1200;
    }
}

void SerialLink::setup(int baud, int dataBits, int parity, int stopBits, bool hardwareFlow)
{
    if (!m_port)
        return;
    // As on the original line driver, every setting is tried and a refusal is ignored:
    // a pseudo-terminal has no DTR or RTS to drive.
    m_port->setBaudRate(comBaudFor(baud));
    switch (dataBits) {
    case 5: m_port->setDataBits(QSerialPort::Data5); break;
    case 6: m_port->setDataBits(QSerialPort::Data6); break;
    case 7: m_port->setDataBits(QSerialPort::Data7); break;
    default: m_port->setDataBits(QSerialPort::Data8); break;
    }
    m_port->setParity(parity == 1 ? QSerialPort::OddParity
                    : parity == 2 ? QSerialPort::EvenParity
                                  : QSerialPort::NoParity);
    m_port->setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port->setFlowControl(hardwareFlow ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl);
    m_port->setDataTerminalReady(false);
    m_port->setRequestToSend(false);
    m_port->clearError();
}

int SerialLink::read(uchar *buffer, int n, int ms)
{
    if (m_scripted && !m_failed && n > 0)
        return scriptedRead(buffer, n, ms);
    if (!m_port || m_failed || n <= 0)
        return 0;
    if (m_port->bytesAvailable() == 0) {
        QDeadlineTimer until(ms < 0 ? 0 : ms, Qt::PreciseTimer);
        for (;;) {
            m_port->clearError();
            const int slice = int(qMin<qint64>(until.remainingTime(), CancelSliceMs));
            if (m_port->waitForReadyRead(slice))
                break;
            if (m_port->error() != QSerialPort::TimeoutError || until.hasExpired() || cancelled()) {
                checkFailure();
                return 0;
            }
        }
    }
    const qint64 got = m_port->read(reinterpret_cast<char *>(buffer), n);
    if (got <= 0) {
        checkFailure();
        return 0;
    }
    return int(got);
}

int SerialLink::writeAll(const uchar *bytes, int n)
{
    if (m_scripted && !m_failed && n > 0) {
        m_scriptWritten.append(reinterpret_cast<const char *>(bytes), n);
        return n;
    }
    if (!m_port || m_failed || n <= 0)
        return 0;
    m_port->clearError();
    const qint64 queued = m_port->write(reinterpret_cast<const char *>(bytes), n);
    if (queued != n) {
        m_failed = true;
        return queued > 0 ? int(queued) : 0;
    }
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (m_port->bytesToWrite() > 0) {
        const qint64 before = m_port->bytesToWrite();
        if (!m_port->waitForBytesWritten(CancelSliceMs)) {
            if (m_port->error() != QSerialPort::TimeoutError || hungUp()) {
                checkFailure();
                break;
            }
            m_port->clearError();
            // Once a cancel is asked, a stalled line gets only a moment more: what is being
            // written then is usually the CAN that tells the device.
            if (sinceProgress.elapsed() >= (cancelled() ? CancelGraceMs : WriteStallMs))
                break;
        }
        if (m_port->bytesToWrite() < before)
            sinceProgress.restart();
    }
    return n - int(m_port->bytesToWrite());
}

// Waits until the driver has sent what we wrote. QSerialPort::close() puts the port's earlier
// settings back at once, and a USB adapter that keeps its own rate would otherwise send the last
// EOT or ACK at the old speed. A line that stopped moving (flow control held off, the adapter
// gone) is given up after WriteStallMs, like a stalled write; a pseudo-terminal has no output
// queue to wait for, and its refusals are ignored.
void SerialLink::drainOutput()
{
    const int fd = int(m_port->handle());
    if (fd < 0 || m_failed)
        return;
    QDeadlineTimer stall(WriteStallMs);
    int queued = 0;
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (stall.hasExpired() || cancelled())
            return;
        ::usleep(2000);
    }
    while (::tcdrain(fd) != 0 && errno == EINTR) {
    }
}

void SerialLink::pause(int ms) const
{
    if (m_scripted)
        return; // no line to settle
    QDeadlineTimer until(ms, Qt::PreciseTimer);
    while (!cancelled()) {
        const qint64 left = until.remainingTime();
        if (left <= 0)
            return;
        ::usleep(useconds_t(qMin<qint64>(left, CancelSliceMs) * 1000));
    }
}

void SerialLink::close()
{
    m_scripted = false;
    if (!m_port)
        return;
    drainOutput();
    m_port->close();
    m_port.reset();
}
