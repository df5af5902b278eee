#include "tree/descriptionfile.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

#include "format/diag.h"
#include "format/formatid.h"
#include "format/xmldoc.h"
#include "format/xmlguard.h"
#include "format/xmlsource.h"
#include "tree/treeloader.h"

namespace {

DescriptionError refuse(DescriptionError error, const char *line, Description *out)
{
    diagOut("%s\n", line);
    out->format.reset();
    out->top.reset();
    return error;
}

} // namespace

QString rootFormatId(const QDomDocument &document)
{
    return document.documentElement().attribute(QStringLiteral("id"), QStringLiteral("noname"));
}

namespace {

// The root's children in document order: exactly one Format, then exactly one Tree.
DescriptionError readParts(XmlElement &root, const QString &expectedId, TreeLoader &loader, Description *out)
{
    out->format.reset();
    out->top.reset();
    out->id = root.attribute(QLatin1String("id"), QStringLiteral("noname"));
    // Lines about the description as a whole are about its root element.
    const DiagContext atRoot(root.line, root.column);
    if (!expectedId.isNull() && out->id != expectedId)
        return refuse(DescriptionError::BadId, "Bad ID", out);

    DescriptionError error = DescriptionError::None;
    const bool read = root.source->forEachChild(root, [&](XmlElement &element) {
        const DiagContext where(element.line, element.column);
        if (element.tag == QLatin1String("Format")) {
            if (out->format)
                error = refuse(DescriptionError::DuplicateFormat, "Duplicate format", out);
            else if (out->format.reset(ConfFormat::create(out->id, element)); !out->format)
                error = refuse(DescriptionError::FormatRejected, "Error loading format", out);
        } else if (element.tag == QLatin1String("Tree")) {
            if (out->top)
                error = refuse(DescriptionError::DuplicateTree, "Duplicate tree", out);
            else if (!out->format)
                error = refuse(DescriptionError::TreeBeforeFormat, "No format before tree", out);
            else if (out->top = loader.loadGroup(element, out->format.get()); !out->top)
                error = refuse(DescriptionError::TreeRejected, "Error loading tree", out);
        }
        return error == DescriptionError::None;
    });
    if (!read)
        return error; // None when the document itself failed; the reader of the file tells
    if (!out->format)
        return refuse(DescriptionError::NoFormat, "No format in file", out);
    if (!out->top)
        return refuse(DescriptionError::NoTree, "No tree in file", out);
    return DescriptionError::None;
}

// Reads one file as it parses: the parts are built while the file is read, and the lines
// they report are held until the end of the file shows whether it parses at all. One that does
// not (or one the guard refuses) says why and leaves nothing behind, the loader's macro table
// included, as if nothing of it had been read. False when the file does not read or parse.
bool readStreamed(const QString &file, const QString &shownAs, const QString &expectedId, TreeLoader &loader,
                  Description *out, DescriptionError *result)
{
    QByteArray bytes;
    if (!readXmlFile(file, &bytes))
        return false;
    const QMap<QString, QString> macrosBefore = loader.macros;
    const QSet<QString> usedBefore = loader.usedMacros;
    DiagHold hold;
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    XmlGuard guard;
    StreamXmlSource source(reader, &guard);
    XmlElement root;
    DescriptionError error = DescriptionError::None;
    if (source.readRoot(&root)) {
        error = readParts(root, expectedId, loader, out);
        // A refusal leaves the rest unread; a fault there still makes the file one that does not parse.
        source.readToEnd();
    }
    if (source.failed()) {
        hold.drop();
        loader.macros = macrosBefore;
        loader.usedMacros = usedBefore;
        out->format.reset();
        out->top.reset();
        if (source.refusedByGuard()) {
            guard.reportRefusal(file);
        } else {
            const DiagContext at(file);
            reportXmlParseError(file, source.errorString().toLocal8Bit(), source.errorLine(), source.errorColumn());
        }
        return false;
    }
    const QList<Diagnostic> said = hold.take();
    // Said first, so that nobody takes the older description for the file's own.
    if (file != shownAs)
        reportXmlBackupUsed(shownAs);
    for (const Diagnostic &d : said)
        diagReport(d);
    *result = error;
    return true;
}

} // namespace

DescriptionError readDescription(const QDomDocument &document, const QString &expectedId, TreeLoader &loader,
                                 Description *out)
{
    DomXmlSource source;
    XmlElement root = source.element(document.documentElement());
    return readParts(root, expectedId, loader, out);
}

DescriptionError readDescriptionFile(const QString &path, const QString &expectedId, TreeLoader &loader,
                                     Description *out)
{
    // Every line about this description says which file it is about.
    const DiagContext file(path);
    DescriptionError result = DescriptionError::None;
    if (readStreamed(path, path, expectedId, loader, out, &result)
        || readStreamed(xmlBackupPath(path), path, expectedId, loader, out, &result))
        return result;
    out->id.clear();
    return refuse(DescriptionError::Xml, "XML error", out);
}

std::unique_ptr<ConfFormat> readDescriptionFormat(const QString &id, const QMap<QString, QString> &macros,
                                                  QString *why)
{
    if (!isSafeFormatId(id)) {
        *why = QCoreApplication::translate("MainWindow", "there is no description of %1.").arg(id);
        return nullptr;
    }
    TreeLoader loader;
    loader.macros = macros;
    Description description;
    if (readDescriptionFile(descriptionPath(id), id, loader, &description) != DescriptionError::None) {
        *why = QCoreApplication::translate("MainWindow", "there is no description of %1.").arg(id);
        return nullptr;
    }
    return std::move(description.format);
}

bool loadDescriptionById(const QString &id, const std::function<bool()> &loadLocal,
                         const std::function<bool()> &fetch)
{
    // The id comes from a device or a value file; "confxml/" + id + ".xml" must not
    // name anything outside the folder, and a download must not overwrite it.
    if (!isSafeFormatId(id)) {
        diagOut("Bad format id '%s'\n", printableForDiagnostics(id).constData());
        return false;
    }
    if (loadLocal())
        return true;
    diagOut("Downloading format...\n");
    return fetch() && loadLocal();
}
