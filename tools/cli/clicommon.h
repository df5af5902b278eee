#pragma once
// Loading descriptions, values and images for the commands of vant-conf-cli.
// Every function prints the system's own diagnostic lines as it goes and, on failure,
// leaves one line in *error for cli::fail.
#include "format/confformat.h"
#include "format/valuediff.h"
#include "tree/confrow.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace cli {

// A description file read for a command, validated as a whole as the window does it:
// one Format element and after it one Tree element.
struct Description {
    QString path;
    QString id; // the root's id, "noname" when it has none
    std::unique_ptr<ConfFormat> format;
    std::unique_ptr<ConfRow> top;
};

// Reads the file (falling back to its ".bak" copy) and builds the format and the rows.
// A non-null expectedId must be the root's id.
bool loadDescriptionFile(const QString &path, Description *out, QString *error,
                         const QString &expectedId = QString());

// The description of a format id from confxml/ in the working directory, fetched from
// the description server once when the local file does not load.
bool loadDescriptionById(const QString &id, Description *out, QString *error);

// Downloads the description of the id into confxml/ from the server ("host[:port]";
// empty for the configured one). False with one line in *error when nothing was stored.
bool fetchDescription(const QString &id, const QString &server, QString *error);

// True for a path that names an image rather than a value file: the suffix ".bin"
// in any letter case.
bool isImagePath(const QString &path);

// Fills the format's values from a value file or, for an image path, from an image.
bool loadValuesFile(ConfFormat *format, const QString &path, QString *error);

// A value file for a device command: the description its id names (fetched once when
// missing), with the file's values in it. Null after the failure's line, with the exit status
// in *status: the device's file error for a value file that does not read or load,
// ExitNoDescription when there is no description.
std::unique_ptr<ConfFormat> loadValueFileForDevice(const QString &path, int *status);

// Reads and unpacks an image file into the format; *bytes, when given, receives the image
// as the file holds it.
bool loadImageFile(ConfFormat *format, const QString &path, QString *error, QByteArray *bytes = nullptr);

// Prints one line per difference on standard output: name, tab, first text, tab, second text.
void printDifferences(const QList<ValueDifference> &differences);

// "-": standard output rather than a file of that name.
bool isStandardOutput(const QString &path);

// Writes through a temporary file in the same directory, so an existing file is
// replaced only by a complete new one. A device or a FIFO is written into, and "-"
// means standard output.
bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error);

} // namespace cli
