// libFuzzer target: arbitrary bytes as a whole description (the checks before parsing, then
// Format and Tree with their macros and conditions), every row's conditions evaluated over
// the values, and the same bytes as an image for every format that builds. A file is read as
// it is parsed, lint reads a DOM document: both give the same result, the same lines, the same
// variables and the same rows with the same description text, for every input.
#include "fuzz/fuzz_common.h"

#include "format/xmlguard.h"
#include "tree/descriptionfile.h"
#include "tree/treeloader.h"
#include "expr/logicexpr.h"
#include "format/diag.h"

#include "format/xmldoc.h"

#include <QByteArray>
#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// The DOM writes attributes in the order of its hash, which changes from run to run; markup is
// compared with the attributes of every tag in name order.
QString sortedAttributes(const QString &markup)
{
    static const QRegularExpression tag(QStringLiteral("<([^\\s<>/!?]+)((?:\\s+[^\\s=<>]+=\"[^\"]*\")+)(\\s*/?)>"));
    static const QRegularExpression attribute(QStringLiteral("\\s+[^\\s=<>]+=\"[^\"]*\""));
    QString out;
    qsizetype at = 0;
    for (auto m = tag.globalMatch(markup); m.hasNext();) {
        const QRegularExpressionMatch found = m.next();
        QStringList attributes;
        for (auto a = attribute.globalMatch(found.captured(2)); a.hasNext();)
            attributes << a.next().captured(0).trimmed();
        attributes.sort();
        out += QStringView(markup).mid(at, found.capturedStart() - at);
        out += QLatin1Char('<') + found.captured(1) + QLatin1Char(' ') + attributes.join(QLatin1Char(' '))
             + found.captured(3) + QLatin1Char('>');
        at = found.capturedEnd();
    }
    out += QStringView(markup).mid(at);
    return out;
}

void dumpRows(const ConfRow *row, int depth, QTextStream &out)
{
    out << QString(depth, QLatin1Char(' ')) << row->label() << '|' << row->varId() << '|' << row->varName() << '|'
        << row->sourceLine() << ':' << row->sourceColumn() << '|' << row->startExpanded() << '|'
        << (row->enabledCondition() ? row->enabledCondition()->variables().join(QLatin1Char(',')) : QString()) << '|'
        << (row->visibleCondition() ? row->visibleCondition()->variables().join(QLatin1Char(',')) : QString()) << '|'
        << sortedAttributes(row->desc()) << '\n';
    for (int i = 0; i < row->childCount(); ++i)
        dumpRows(row->child(i), depth + 1, out);
}

// Everything a reading leaves: its result, its lines, the variables, the rows and the macros.
QString dump(DescriptionError error, const Description &d, const QList<Diagnostic> &lines, const TreeLoader &loader)
{
    QString text;
    QTextStream out(&text);
    out << "result " << int(error) << " id " << d.id << '\n';
    for (const Diagnostic &line : lines)
        out << "line " << int(line.stream) << ' ' << line.location.toString() << ' ' << line.text;
    if (d.format) {
        out << "encoding " << d.format->encoding() << " size " << d.format->dataSize() << '\n';
        for (const auto &[name, v] : d.format->vars())
            out << name << ' ' << v.offset << ' ' << v.size << ' ' << v.kind << ' ' << v.min << ' ' << v.max << ' '
                << v.items.join(QLatin1Char('|')) << ' ' << v.floatMin << ' ' << v.floatMax << ' ' << v.decimals
                << ' ' << v.suffix << ' ' << v.declLine << ':' << v.declColumn << '\n';
    }
    if (d.top)
        dumpRows(d.top.get(), 0, out);
    for (auto it = loader.macros.cbegin(); it != loader.macros.cend(); ++it)
        out << "macro " << it.key() << ' ' << sortedAttributes(it.value()) << '\n';
    QStringList used = loader.usedMacros.values();
    used.sort();
    out << "used " << used.join(QLatin1Char(',')) << '\n';
    out.flush();
    return text;
}

// The file read as it is parsed, against the same file read whole into a DOM first.
void compareReaders(const QByteArray &bytes)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return;
    file.close();
    const QMap<QString, QString> before{{QStringLiteral("kept"), QStringLiteral("<Def>kept</Def>")}};

    TreeLoader streamed;
    streamed.macros = before;
    Description fromStream;
    QList<Diagnostic> streamLines;
    DescriptionError streamResult;
    {
        DiagCollector collector;
        streamResult = readDescriptionFile(path, QString(), streamed, &fromStream);
        streamLines = collector.diagnostics();
    }

    TreeLoader whole;
    whole.macros = before;
    Description fromDom;
    QList<Diagnostic> domLines;
    DescriptionError domResult = DescriptionError::Xml;
    {
        DiagCollector collector;
        const DiagContext at(path);
        bool ok = false;
        const QDomDocument doc = loadXmlDocumentWithBackup(path, &ok);
        if (ok) {
            domResult = readDescription(doc, QString(), whole, &fromDom);
        } else {
            fromDom.id.clear();
            diagOut("XML error\n");
        }
        domLines = collector.diagnostics();
    }
    const QString a = dump(streamResult, fromStream, streamLines, streamed);
    const QString b = dump(domResult, fromDom, domLines, whole);
    if (a != b)
        std::fprintf(stderr, "the readers differ\n--- streamed:\n%s--- DOM:\n%s", qPrintable(a), qPrintable(b));
    FUZZ_CHECK(a == b);
}

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
    compareReaders(bytes);
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
