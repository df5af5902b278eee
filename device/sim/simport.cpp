#include "device/sim/simport.h"
#include "device/sim/simdevice.h"

#include "device/portlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

bool makeRaw(int fd)
{
    termios tio;
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// The raw target of a symbolic link; empty when path is no link. The slave's
// device node may already be gone, so the link cannot be resolved.
QString linkTarget(const QString &path)
{
    char buffer[4096];
    const ssize_t n = readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer - 1);
    return n > 0 ? QFile::decodeName(QByteArray(buffer, int(n))) : QString();
}

} // namespace

bool SimPort::open(QString *error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = systemError("grantpt/unlockpt");
        close();
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        *error = systemError("ptsname");
        close();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        *error = systemError("open slave");
        close();
        return false;
    }
    // Raw on both sides before anything is exchanged, or the line discipline
    // would echo the program's bytes back to it.
    if (!makeRaw(m_slave) || !makeRaw(m_master)) {
        *error = systemError("raw mode");
        close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = systemError("non-blocking master");
        close();
        return false;
    }
    return true;
}

bool SimPort::makeLink(const QString &path, QString *error)
{
    const QByteArray linkPath = QFile::encodeName(path);
    struct stat st;
    if (lstat(linkPath.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(path);
        return false;
    }
    // A link of the same name left by a simulator that died is replaced in one
    // step: the path never points nowhere in between.
    const QByteArray temporary = linkPath + ".tmp" + QByteArray::number(qint64(getpid()));
    ::unlink(temporary.constData());
    if (symlink(QFile::encodeName(m_slavePath).constData(), temporary.constData()) != 0) {
        *error = systemError("symlink");
        return false;
    }
    if (rename(temporary.constData(), linkPath.constData()) != 0) {
        *error = systemError("rename link");
        ::unlink(temporary.constData());
        return false;
    }
    m_linkPath = path;
    return true;
}

bool SimPort::registerPort(const QString &portPath, QString *error)
{
    if (portPath.contains(QLatin1Char(' '))) {
        *error = QStringLiteral("port path '%1' contains a blank; the registry cannot hold it").arg(portPath);
        return false;
    }
    const QString dir = portRegistryDir();
    const QFileInfo dirInfo(dir);
    if (!dirInfo.exists()) {
        if (!QDir().mkpath(dirInfo.absolutePath())) {
            *error = QStringLiteral("cannot create the folder of the port registry %1").arg(dir);
            return false;
        }
        // Other users must not be able to plant ports in our list.
        if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST) {
            *error = QStringLiteral("cannot create the port registry %1: %2")
                         .arg(dir, QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
    }
    if (!portRegistryTrusted(dir)) {
        *error = QStringLiteral("the port registry %1 is not a folder of this user's alone (mode 0700)")
                     .arg(dir);
        return false;
    }
    const QString file = dir + QStringLiteral("/%1.port").arg(qint64(getpid()));
    const QByteArray line = QFile::encodeName(portPath) + ' ' + RegistryDescription + '\n';
    if (!writeFileAtomically(file, line, error))
        return false;
    m_registryFile = file;
    return true;
}

void SimPort::close()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    if (!m_registryFile.isEmpty())
        QFile::remove(m_registryFile);
    m_registryFile.clear();
    // Only our own link: another simulator may have taken the name over since.
    if (!m_linkPath.isEmpty() && linkTarget(m_linkPath) == m_slavePath)
        ::unlink(QFile::encodeName(m_linkPath).constData());
    m_linkPath.clear();
}
