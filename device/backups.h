#pragma once
// The device images kept before every write to a device and on every download, so that a
// configuration a write replaced can be put back:
//   <application data folder>/backups/<hardware id>/<software id>-<UTC yyyyMMdd-HHmmss>.bin
// The newest KeptPerDevice backups of each device are kept.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace backups {

constexpr int KeptPerDevice = 100;

struct Backup {
    QString path;
    QString softwareId; // as it stands in the file name, made safe
    QDateTime taken;    // UTC, to the second
};

// The folder the backups of all devices are kept in.
QString folder();

// An identifier as a file name: letters, digits, '.', '_' and '-' are kept, anything else
// (a '/', a blank, a control character) becomes '_'; never empty, never "." or "..".
QString safeName(const QString &id);

// The configuration image proper from what a device sent: a device answers with whole
// blocks, and the image is the length its header gives, then the data, then the CRC.
QByteArray imageProper(const QByteArray &received);

// Whether the image is whole: its length is what its header gives, and its CRC holds.
bool isWholeImage(const QByteArray &image);

// Keeps `image` as a backup of the device taken at `when`, then removes the oldest beyond
// KeptPerDevice. Returns the backup's path, or an empty string with the reason in *error.
QString store(const QString &hardwareId, const QString &softwareId, const QByteArray &image,
              QString *error, const QDateTime &when = QDateTime::currentDateTimeUtc());

// The backups of one device, newest first.
QList<Backup> list(const QString &hardwareId);

} // namespace backups
