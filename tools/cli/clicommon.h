#pragma once
// Loading descriptions, values and images for the commands of vant-conf-cli.
// Every function prints the system's own diagnostic lines as it goes and, on failure,
// leaves one line in *error for cli::fail.
#include "format/confformat.h"

#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QStringList>
#include <memory>

namespace cli {

// A description file read for a command. The document is kept so that later checks
// (the Tree element, say) can walk it after the format has been built.
struct Description {
    QString path;
    QDomDocument document;
    QDomElement root;
    QString id; // the root's id, "noname" when it has none
    QDomElement formatElement;
    std::unique_ptr<ConfFormat> format;
};

// Reads the file (falling back to its ".bak" copy) and builds the format from the
// first Format child of the root.
bool loadDescriptionFile(const QString &path, Description *out, QString *error);

// True for a path that names an image rather than a value file: the suffix ".bin"
// in any letter case.
bool isImagePath(const QString &path);

// Fills the format's values from a value file or, for an image path, from an image.
bool loadValuesFile(ConfFormat *format, const QString &path, QString *error);

// Reads and unpacks an image file into the format.
bool loadImageFile(ConfFormat *format, const QString &path, QString *error);

// Writes through a temporary file in the same directory, so an existing file is
// replaced only by a complete new one.
bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error);

// Splits a command's arguments into positional ones and the value of "-o FILE".
// "--" ends the options. False with *error on an unknown option or a missing value.
struct ParsedArgs {
    QStringList positional;
    QString output;
    bool hasOutput = false;
};
bool parseArgs(const QStringList &args, bool allowOutput, ParsedArgs *out, QString *error);

} // namespace cli
