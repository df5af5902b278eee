// libFuzzer target: arbitrary bytes as a whole description (the checks before parsing, then
// Format and Tree with their macros and conditions), every row's conditions evaluated over
// the values, and the same bytes as an image for every format that builds.
#include "fuzz/fuzz_common.h"

#include "format/xmlguard.h"
#include "tree/descriptionfile.h"
#include "tree/treeloader.h"

#include <QByteArray>
#include <QDomDocument>
#include <memory>

namespace {

void visit(const ConfRow *row, const ConfFormat *format, int *rows)
{
    ++*rows;
    row->isEnabled(format);
    row->isVisible(format);
    format->varText(format->varById(row->varId()));
    for (int i = 0; i < row->childCount(); ++i)
        visit(row->child(i), format, rows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!checkXmlDocument(QStringLiteral("fuzz.xml"), bytes))
        return 0;
    QDomDocument doc;
    if (!doc.setContent(bytes))
        return 0;
    TreeLoader loader;
    Description description;
    if (readDescription(doc, QString(), loader, &description) != DescriptionError::None)
        return 0;
    FUZZ_CHECK(description.format && description.top);
    ConfFormat *conf = description.format.get();

    // The input itself as an image: any length, any header, any CRC.
    conf->unpack(data, int(size));
    int rows = 0;
    visit(description.top.get(), conf, &rows);
    // Whatever the values are now, their image has the announced size and unpacks.
    const QByteArray image = conf->pack();
    FUZZ_CHECK(image.size() == conf->imageSize());
    FUZZ_CHECK(conf->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())));
    return 0;
}
