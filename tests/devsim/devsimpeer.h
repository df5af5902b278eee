#pragma once
// Test helpers: the simulator as a child process (the shared SimProcess), and a raw peer on
// the slave side of its pseudo-terminal that reads and writes bytes with time limits.
#include "tests/support/simprocess.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// Golden bytes are written as spaced hex; anything that is not a hex digit is skipped.
inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

class PtyPeer
{
public:
    ~PtyPeer() { close(); }

    bool open(const QString &path)
    {
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return false;
        termios tio;
        if (tcgetattr(fd, &tio) != 0)
            return false;
        cfmakeraw(&tio);
        return tcsetattr(fd, TCSANOW, &tio) == 0;
    }

    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    bool write(const QByteArray &bytes)
    {
        int done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += int(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                poll(&p, 1, 100);
            } else {
                return false;
            }
        }
        return true;
    }

    // Reads until count bytes have come or timeoutMs has passed; returns what came.
    QByteArray read(int count, int timeoutMs)
    {
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (out.size() < count) {
            const qint64 left = timeoutMs - timer.elapsed();
            if (left <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, int(left)) <= 0)
                continue;
            if (!(p.revents & POLLIN)) {
                hungUp = true;
                break;
            }
            char buffer[512];
            const ssize_t n = ::read(fd, buffer, size_t(qMin<qsizetype>(sizeof buffer, count - out.size())));
            if (n > 0) {
                out.append(buffer, n);
            } else if (n == 0 || errno != EAGAIN) {
                hungUp = true;
                break;
            }
        }
        return out;
    }

    // Everything that arrives within ms.
    QByteArray readFor(int ms) { return read(1 << 20, ms); }

    int fd = -1;
    bool hungUp = false;
};
