#include "device/serialport.h"

#include "format/diag.h"

#include <QFileInfo>
#include <QSerialPort>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QSerialPort *port = nullptr; // created by comOpen on the thread that uses it
bool portFailed = false;

// A stalled write (the far end stopped reading) gives up after this long without progress,
// so a dead line cannot hold the worker, and with it the window, for ever.
constexpr int WriteStallMs = 5000;

QString systemLocation(const char *name)
{
    const QString text = QString::fromLocal8Bit(name);
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

bool hungUp()
{
    if (!port)
        return true;
    pollfd pfd{int(port->handle()), 0, 0};
    if (pfd.fd < 0)
        return true;
    if (::poll(&pfd, 1, 0) < 0)
        return false;
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Called after a read or write came back short: decides whether the port itself is gone.
void checkFailure()
{
    const QSerialPort::SerialPortError error = port->error();
    if ((error != QSerialPort::NoError && error != QSerialPort::TimeoutError) || hungUp())
        portFailed = true;
    port->clearError();
}

} // namespace

bool comOpen(const char *name)
{
    comClose();
    portFailed = false;
    const QString location = systemLocation(name);
    port = new QSerialPort;
    port->setPortName(location);
    if (port->open(QIODevice::ReadWrite)) {
        port->clearError();
        return true;
    }
    const int code = openErrorCode(location, port->error());
    delete port;
    port = nullptr;
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

void comSetup(int baud, int dataBits, int parity, int stopBits, bool hardwareFlow)
{
    if (!port)
        return;
    // As on the original line driver, every setting is tried and a refusal is ignored:
    // a pseudo-terminal has no DTR or RTS to drive.
    port->setBaudRate(comBaudFor(baud));
    switch (dataBits) {
    case 5: port->setDataBits(QSerialPort::Data5); break;
    case 6: port->setDataBits(QSerialPort::Data6); break;
    case 7: port->setDataBits(QSerialPort::Data7); break;
    default: port->setDataBits(QSerialPort::Data8); break;
    }
    port->setParity(parity == 1 ? QSerialPort::OddParity
                    : parity == 2 ? QSerialPort::EvenParity
                                  : QSerialPort::NoParity);
    port->setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port->setFlowControl(hardwareFlow ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl);
    port->setDataTerminalReady(false);
    port->setRequestToSend(false);
    port->clearError();
}

int comRead(uchar *buffer, int n, int ms)
{
    if (!port || portFailed || n <= 0)
        return 0;
    if (port->bytesAvailable() == 0) {
        port->clearError();
        if (!port->waitForReadyRead(ms < 0 ? 0 : ms)) {
            checkFailure();
            return 0;
        }
    }
    const qint64 got = port->read(reinterpret_cast<char *>(buffer), n);
    if (got <= 0) {
        checkFailure();
        return 0;
    }
    return int(got);
}

int comWriteAll(const uchar *bytes, int n)
{
    if (!port || portFailed || n <= 0)
        return 0;
    port->clearError();
    const qint64 queued = port->write(reinterpret_cast<const char *>(bytes), n);
    if (queued != n) {
        portFailed = true;
        return queued > 0 ? int(queued) : 0;
    }
    while (port->bytesToWrite() > 0) {
        if (!port->waitForBytesWritten(WriteStallMs)) {
            checkFailure();
            break;
        }
    }
    return n - int(port->bytesToWrite());
}

void comClose()
{
    if (!port)
        return;
    port->close();
    delete port;
    port = nullptr;
}

bool comFailed()
{
    return portFailed;
}
