// The serial port list: the system's serial ports, then the ports announced in the port
// registry. The registry lets a port that the system cannot describe (a pseudo-terminal with
// the device simulator behind it) appear with a description, the way a USB-serial adapter does:
// a directory ($VANT_PORT_REGISTRY, else $XDG_RUNTIME_DIR/vant-conf-ports, else
// /tmp/vant-conf-ports-<uid>) of files "<pid>.port", each one line "<port path> <description>".
// An entry counts while its process lives and its path exists. A port listed here is one the
// user may pick as "VANT USB", so only the user may have put it there: the folder must be the
// user's own with no access for group or others, and each entry a regular file of the user's.
#include "device/portlist.h"

#include "format/diag.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>
#include <csignal>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool processAlive(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

struct RegisteredPort {
    QString path;
    QString description;
};

bool ownRegularFile(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode)
        && st.st_uid == ::geteuid();
}

QList<RegisteredPort> registeredPorts()
{
    QList<RegisteredPort> ports;
    const QString dirPath = portRegistryDir();
    if (!portRegistryTrusted(dirPath))
        return ports;
    const QDir dir(dirPath);
    const QStringList files = dir.entryList({QStringLiteral("*.port")}, QDir::Files, QDir::Name);
    for (const QString &fileName : files) {
        bool ok = false;
        const qint64 pid = fileName.chopped(5).toLongLong(&ok);
        if (!ok || !processAlive(pid))
            continue;
        QFile file(dir.filePath(fileName));
        if (!ownRegularFile(file.fileName()) || !file.open(QIODevice::ReadOnly))
            continue;
        // One short line; a longer file is not one of ours.
        const QString line = QString::fromLocal8Bit(file.readLine(4096)).trimmed();
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        const QString path = blank < 0 ? line : line.left(blank);
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        ports.append({path, blank < 0 ? QString() : line.mid(blank + 1)});
    }
    return ports;
}

} // namespace

QString portRegistryDir()
{
    const QByteArray configured = qgetenv("VANT_PORT_REGISTRY");
    if (!configured.isEmpty())
        return QFile::decodeName(configured);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QFile::decodeName(runtime) + QLatin1String("/vant-conf-ports");
    // /tmp is shared by every user: one folder each, so nobody else's can stand in for ours.
    return QStringLiteral("/tmp/vant-conf-ports-%1").arg(qulonglong(::geteuid()));
}

bool portRegistryTrusted(const QString &dir)
{
    struct stat st;
    if (::lstat(QFile::encodeName(dir).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

QStringList comListPorts()
{
    QStringList entries;
    int device = 0;
    const auto add = [&](const QString &portName, const QString &description) {
        ++device;
        // The friendly name as the system would show it: description, then the port in brackets.
        const QString friendly = description + QLatin1String(" (") + portName + QLatin1Char(')');
        diagOut("Dev %d name '%s'\n", device, qPrintable(friendly));
        if (entries.size() < ComListMax)
            entries.append(portName + QLatin1Char(' ') + description);
    };
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : system)
        add(info.portName(), info.description());
    for (const RegisteredPort &port : registeredPorts())
        add(port.path, port.description);
    return entries;
}
