#include "device/backups.h"

#include "format/crc16.h"
#include "format/wholefile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>

namespace backups {

namespace {

const char TimeFormat[] = "yyyyMMdd-HHmmss";

// <software id>-<time>[-<n>].bin: a second backup of the same device within one second
// (a download, then at once an upload) gets a number rather than replacing the first.
const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)-(\\d{8}-\\d{6})(?:-(\\d+))?\\.bin$"));
    return pattern;
}

struct Entry {
    Backup backup;
    int number = 0;
};

QList<Entry> entries(const QString &hardwareId)
{
    QList<Entry> found;
    const QDir dir(folder() + QLatin1Char('/') + safeName(hardwareId));
    const QStringList names = dir.entryList({QStringLiteral("*.bin")}, QDir::Files);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = namePattern().match(name);
        if (!match.hasMatch())
            continue;
        QDateTime taken = QDateTime::fromString(match.captured(2), QLatin1String(TimeFormat));
        if (!taken.isValid())
            continue;
        taken.setTimeSpec(Qt::UTC);
        found.append({{dir.filePath(name), match.captured(1), taken}, match.captured(3).toInt()});
    }
    std::sort(found.begin(), found.end(), [](const Entry &a, const Entry &b) {
        if (a.backup.taken != b.backup.taken)
            return a.backup.taken > b.backup.taken;
        return a.number > b.number;
    });
    return found;
}

} // namespace

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
}

QString safeName(const QString &id)
{
    QString name;
    for (const QChar c : id) {
        const bool kept = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') || c == QLatin1Char('_')
            || c == QLatin1Char('-');
        name += kept ? c : QLatin1Char('_');
    }
    // File names have a length limit; the identifiers of real devices are far shorter.
    name.truncate(100);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name.replace(QLatin1Char('.'), QLatin1Char('_')).append(QLatin1Char('_'));
    return name;
}

QByteArray imageProper(const QByteArray &received)
{
    if (received.size() < 4)
        return received;
    const int length = qFromLittleEndian<quint16>(received.constData()) + 4;
    return length <= received.size() ? received.left(length) : received;
}

bool isWholeImage(const QByteArray &image)
{
    return image.size() >= 4 && imageProper(image).size() == image.size()
        && crc16(0xFFFF, reinterpret_cast<const uchar *>(image.constData()), int(image.size())) == 0;
}

QString store(const QString &hardwareId, const QString &softwareId, const QByteArray &image, QString *error,
              const QDateTime &when)
{
    const QString dirPath = folder() + QLatin1Char('/') + safeName(hardwareId);
    if (!QDir().mkpath(dirPath)) {
        *error = QStringLiteral("cannot create the folder %1").arg(dirPath);
        return QString();
    }
    const QString stem = dirPath + QLatin1Char('/') + safeName(softwareId) + QLatin1Char('-')
        + when.toUTC().toString(QLatin1String(TimeFormat));
    QString path = stem + QStringLiteral(".bin");
    for (int n = 2; QFile::exists(path); ++n)
        path = stem + QStringLiteral("-%1.bin").arg(n);
    if (!writeWholeFile(path, image, error))
        return QString();
    const QList<Entry> kept = entries(hardwareId);
    for (qsizetype i = KeptPerDevice; i < kept.size(); ++i)
        QFile::remove(kept[i].backup.path);
    return path;
}

QList<Backup> list(const QString &hardwareId)
{
    QList<Backup> found;
    for (const Entry &entry : entries(hardwareId))
        found.append(entry.backup);
    return found;
}

} // namespace backups
