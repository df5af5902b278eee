#include "tests/support/ptypeer.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return;
    slavePath = QString::fromLocal8Bit(::ptsname(master));
    // Holding the slave open keeps the master readable while the program has the port
    // closed; raw mode on both ends before anything flows, so nothing is echoed.
    holder = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    for (int fd : {master, holder}) {
        termios t;
        if (fd >= 0 && ::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
}

QByteArray PtyPeer::read(int n, int ms)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < n) {
        const int left = ms - int(timer.elapsed());
        if (left <= 0)
            break;
        pollfd pfd{master, POLLIN, 0};
        if (::poll(&pfd, 1, left) <= 0)
            continue;
        char buffer[512];
        const ssize_t r = ::read(master, buffer, size_t(qMin<qsizetype>(sizeof buffer, n - got.size())));
        if (r <= 0)
            break;
        got.append(buffer, r);
    }
    return got;
}

bool PtyPeer::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        done += w;
    }
    return true;
}

void PtyPeer::hangUp()
{
    if (master >= 0)
        ::close(master);
    if (holder >= 0)
        ::close(holder);
    master = holder = -1;
}
