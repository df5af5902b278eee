// Loading descriptions and value files into the property tree.
#include "download/ui/descriptiondownload.h"
#include "format/confformat.h"
#include "format/xmldoc.h"
#include "tree/ui/conftree.h"
#include "tree/descriptionfile.h"

#include <QFileInfo>

bool ConfTree::loadFormatFile(const QString &fileName, const QString &expectedId)
{
    Description description;
    if (readDescriptionFile(fileName, expectedId, *this, &description) != DescriptionError::None)
        return false;
    install(std::move(description.format), description.id, std::move(description.top));
    return true;
}

bool ConfTree::loadFormat(const QString &id)
{
    const QString path = descriptionPath(id);
    return loadDescriptionById(
        id, [&] { return loadFormatFile(path, id); },
        [&] { return downloadDescription(id, this); });
}

bool ConfTree::openConfFile(const QString &fileName)
{
    bool ok = false;
    const QDomDocument document = loadXmlDocumentWithBackup(fileName, &ok);
    if (!ok)
        return false;
    bool described = false;
    const bool loaded = loadWithDescription(rootFormatId(document), tr("Open %1").arg(QFileInfo(fileName).fileName()),
                                            [&] { return format->loadValues(fileName); }, &described);
    if (loaded)
        setBaseline();
    return loaded;
}

bool ConfTree::reloadDescription()
{
    if (!format)
        return false;
    const ValueSet values = valuesOf(*format);
    const ValueSet baselineByName = baseline.values(*format);
    if (!loadFormatFile(descriptionPath(formatId), formatId))
        return false;
    applyValues(*format, values);
    // A variable new in this reading has no baseline of its own; its initial value is one.
    baseline.take(*format, baselineByName);
    updateValues();
    updateExpr();
    valuesChanged();
    return true;
}
