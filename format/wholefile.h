#pragma once
// Reading an input file without waiting on it, and writing a file so that it is either
// replaced by the complete new contents or left as it was: a full disk or a file size
// limit must not leave a cut-off image behind that looks like a good one.
#include <QByteArray>
#include <QString>

// Writes through a temporary file in the same folder and renames it over the target only
// once every byte is on disk. False, with the reason in *error when given, otherwise; the
// previous file is then untouched and no temporary file is left. When the folder refuses
// the temporary file but the file itself may be written, the file is written in place;
// a failed write still gives false, but the previous contents are lost. A path that
// names something other than a regular file (a device, a FIFO) is written into directly.
bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

#include <QFile>

// Why openRegularFile refused a path.
enum class InputRefusal { None, CannotOpen, Directory, NotRegular };

// Opens a regular file for reading, without waiting: opening a FIFO the usual way waits for
// a writer, and a device such as /dev/zero never ends. On success *size is the file's size
// when it was opened; on CannotOpen *error is the system's reason.
InputRefusal openRegularFile(const QString &path, QFile *file, qint64 *size, QString *error);

// Reads at most maxBytes bytes from the start of a regular file. Anything else is refused
// without waiting: opening a FIFO would wait for a writer, a device such as /dev/zero never
// ends. False, with the reason in *error ("not a regular file", or the system's), otherwise.
bool readFileStart(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error);
