#include "tree/descriptionfile.h"

#include <QCoreApplication>

#include "format/diag.h"
#include "format/formatid.h"
#include "format/xmldoc.h"
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

DescriptionError readDescription(const QDomDocument &document, const QString &expectedId, TreeLoader &loader,
                                 Description *out)
{
    out->format.reset();
    out->top.reset();
    out->id = rootFormatId(document);
    if (!expectedId.isNull() && out->id != expectedId)
        return refuse(DescriptionError::BadId, "Bad ID", out);

    const QDomElement root = document.documentElement();
    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!node.isElement())
            continue;
        const QDomElement element = node.toElement();
        const QString tag = element.tagName();
        if (tag == QLatin1String("Format")) {
            if (out->format)
                return refuse(DescriptionError::DuplicateFormat, "Duplicate format", out);
            out->format.reset(ConfFormat::create(out->id, element));
            if (!out->format)
                return refuse(DescriptionError::FormatRejected, "Error loading format", out);
        } else if (tag == QLatin1String("Tree")) {
            if (out->top)
                return refuse(DescriptionError::DuplicateTree, "Duplicate tree", out);
            if (!out->format)
                return refuse(DescriptionError::TreeBeforeFormat, "No format before tree", out);
            out->top = loader.loadGroup(element, out->format.get());
            if (!out->top)
                return refuse(DescriptionError::TreeRejected, "Error loading tree", out);
        }
    }
    if (!out->format)
        return refuse(DescriptionError::NoFormat, "No format in file", out);
    if (!out->top)
        return refuse(DescriptionError::NoTree, "No tree in file", out);
    return DescriptionError::None;
}

DescriptionError readDescriptionFile(const QString &path, const QString &expectedId, TreeLoader &loader,
                                     Description *out)
{
    // Every line about this description says which file it is about.
    const DiagContext file(path);
    bool ok = false;
    const QDomDocument document = loadXmlDocumentWithBackup(path, &ok);
    if (!ok) {
        out->id.clear();
        return refuse(DescriptionError::Xml, "XML error", out);
    }
    return readDescription(document, expectedId, loader, out);
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
