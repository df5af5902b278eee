#pragma once
// A description file as a whole: the root's id, exactly one Format element and after it
// exactly one Tree element. The window and the command-line tool both read descriptions
// here, so a file is accepted or refused by the same rules everywhere.
#include "format/confformat.h"
#include "format/formatid.h"
#include "tree/confrow.h"

#include <QDomDocument>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>

class TreeLoader;

enum class DescriptionError {
    None,
    Xml,              // neither the file nor its ".bak" copy reads and parses
    BadId,            // the root's id is not the one asked for
    DuplicateFormat,  // a second Format element
    FormatRejected,   // the Format element does not build
    DuplicateTree,    // a second Tree element
    TreeBeforeFormat, // a Tree element with no Format before it
    TreeRejected,     // the Tree element does not build
    NoFormat,
    NoTree,
};

// Both parts of a description, built off to the side and owned here until someone
// takes them.
struct Description {
    QString id;
    std::unique_ptr<ConfFormat> format;
    std::unique_ptr<ConfRow> top;
};

// The id a root element stands for: its "id" attribute, "noname" when it has none.
QString rootFormatId(const QDomDocument &document);

// Walks the root's children in document order and builds the format and the rows with
// the loader (whose macro table is the only thing that may change on failure). A null
// expectedId accepts whatever id the root names. Prints the system's line for the
// failure on standard output and leaves *out empty unless the result is None. Lint reads a
// document it changes between readings this way.
DescriptionError readDescription(const QDomDocument &document, const QString &expectedId, TreeLoader &loader,
                                 Description *out);

// The same reading of the file (or its ".bak" copy when the file itself does not read or
// parse), done while the file is parsed: no document of the whole file is built. The lines
// and the result are those of readDescription on the parsed file; "XML error" when neither
// parses.
DescriptionError readDescriptionFile(const QString &path, const QString &expectedId, TreeLoader &loader,
                                     Description *out);

// The format of the description of `id` in "confxml/", read beside whatever is shown (to
// unpack an image of it, to pack values for it) with a loader that starts from `macros`; null
// with the reason in *why when the id is unsafe or the file does not load. Nothing is fetched.
std::unique_ptr<ConfFormat> readDescriptionFormat(const QString &id, const QMap<QString, QString> &macros,
                                                  QString *why);

// The lookup of a description by format id, with the one download attempt that follows a
// local file that does not load: loadLocal reads "confxml/" + id + ".xml", fetch stores a
// fresh copy there and reports whether it did. An id that could lead out of the
// description folder is refused first, before any file is read, written or removed.
bool loadDescriptionById(const QString &id, const std::function<bool()> &loadLocal,
                         const std::function<bool()> &fetch);
