// Configuration value files: every variable by full name with its value as text.
#include "format/valuefile.h"

#include "format/confformat.h"
#include "format/diag.h"

#include <limits>
#include "format/xmldoc.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomImplementation>

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

const QString RootTag = QStringLiteral("Configuration");
const QString VarTag = QStringLiteral("Var");
const QString NameAttr = QStringLiteral("name");
const QString ValueAttr = QStringLiteral("value");
const QString IdAttr = QStringLiteral("id");

// The reader of value files (setValue below) and of the files written before this
// one must keep reading as they always have, so the writer checks each text against
// that very reading.
float readFloat(const QString &text, bool *ok)
{
    return text.toFloat(ok);
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The shortest decimal text that the reader turns back into the same bits, so that
// unpacking an image into a value file and packing it again gives the same bytes.
QString floatText(float f)
{
    // The reader knows one spelling of NaN, and it gives the quiet NaN; a sign or a
    // payload cannot be carried by a text that older readers still understand.
    if (std::isnan(f))
        return QStringLiteral("nan");
    char buffer[64];
    const std::to_chars_result shortest = std::to_chars(buffer, buffer + sizeof buffer, f);
    QString text = QString::fromLatin1(buffer, int(shortest.ptr - buffer));
    bool ok = false;
    if (sameBits(readFloat(text, &ok), f) && ok)
        return text;
    // The reader goes through double and refuses anything past the largest float, so
    // the shortest float text of a value at the very top of the range (3.4028235e+38)
    // reads as out of range. The shortest text of the exact double reads back exactly.
    const std::to_chars_result exact = std::to_chars(buffer, buffer + sizeof buffer, double(f));
    text = QString::fromLatin1(buffer, int(exact.ptr - buffer));
    return text;
}

} // namespace

QString valueFileText(const ConfVar &var)
{
    switch (var.kind) {
    case KindInt:
    case KindTime:
    case KindIp:
        // An address is the little-endian int32 of its four bytes, which is the value itself.
        return QString::number(var.value);
    case KindFloat:
        return floatText(var.floatValue);
    case KindString:
        return var.text;
    case KindFile:
        return QString::fromLatin1(var.fileData.left(var.fileLength).toBase64());
    case KindStruct:
        break;
    }
    return QString();
}

namespace {

void setValue(ConfVar &var, const QString &text)
{
    bool ok = false;
    switch (var.kind) {
    case KindInt:
    case KindTime:
    case KindIp: {
        const int v = text.toInt(&ok, 10);
        var.value = ok ? v : 0;
        break;
    }
    case KindFloat: {
        const float f = readFloat(text, &ok);
        var.floatValue = ok ? f : 0.0f;
        break;
    }
    case KindString:
        var.text = text.left(var.size - 1);
        break;
    case KindFile:
        var.fileData = QByteArray::fromBase64(text.toLatin1()).left(var.size - 2);
        var.fileLength = int(var.fileData.size());
        break;
    case KindStruct:
        break;
    }
}

// A value outside its variable's range or items loads as it is, as it always has; the line
// lets the user find it.
void reportOutOfRange(const ConfVar &var, const QDomElement &element)
{
    const DiagContext at(element);
    const QByteArray name = var.name.toLocal8Bit();
    switch (var.kind) {
    case KindInt:
    case KindTime:
    case KindIp:
        if (!var.items.isEmpty() && (var.value < 0 || var.value >= var.items.size()))
            diagOutWarning("Var %s: value %d is not one of its %d items\n", name.constData(), int(var.value),
                           int(var.items.size()));
        else if (var.items.isEmpty() && (var.value < var.min || var.value > var.max))
            diagOutWarning("Var %s: value %d is outside %d..%d\n", name.constData(), int(var.value), int(var.min),
                           int(var.max));
        break;
    case KindFloat: {
        // Without min and max the description gives the smallest positive and the largest
        // float; only bounds it names are held against a value.
        const bool lowerNamed = var.floatMin != std::numeric_limits<float>::min();
        const bool upperNamed = var.floatMax != std::numeric_limits<float>::max();
        if ((lowerNamed && var.floatValue < var.floatMin) || (upperNamed && var.floatValue > var.floatMax))
            diagOutWarning("Var %s: value %s is outside %s..%s\n", name.constData(),
                           floatText(var.floatValue).toLatin1().constData(), floatText(var.floatMin).toLatin1().constData(),
                           floatText(var.floatMax).toLatin1().constData());
        break;
    }
    default:
        break;
    }
}

QDomDocument valuesDocument(const ConfFormat &format)
{
    QDomImplementation impl;
    QDomDocument doc(impl.createDocumentType(RootTag, QString(), QString()));
    QDomElement root = doc.createElement(RootTag);
    root.setAttribute(IdAttr, format.id());
    doc.appendChild(root);
    for (const auto &entry : format.vars()) {
        const ConfVar &var = entry.second;
        if (var.kind == KindStruct)
            continue;
        QDomElement e = doc.createElement(VarTag);
        e.setAttribute(NameAttr, var.name);
        e.setAttribute(ValueAttr, valueFileText(var));
        root.appendChild(e);
    }
    return doc;
}

} // namespace

QByteArray valueFileBytes(const ConfFormat &format)
{
    return xmlDocumentBytes(valuesDocument(format));
}

bool ConfFormat::saveValues(const QString &path) const
{
    return saveXmlDocument(valuesDocument(*this), path);
}

bool ConfFormat::loadValues(const QString &path)
{
    bool ok = false;
    const QDomDocument doc = loadXmlDocumentWithBackup(path, &ok);
    if (!ok)
        return false;
    const QDomElement root = doc.documentElement();
    // A root without an id belongs to the format "noname", as everywhere else.
    if (root.tagName() != RootTag || root.attribute(IdAttr, QStringLiteral("noname")) != m_id)
        return false;
    const DiagContext file(path);
    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!node.isElement())
            continue;
        const QDomElement e = node.toElement();
        if (e.tagName() != VarTag)
            continue;
        const auto it = m_vars.find(e.attribute(NameAttr));
        if (it == m_vars.end())
            continue;
        const QString value = e.attribute(ValueAttr);
        if (it->second.kind == KindString) {
            const QString unstorable = unstorableCharacters(value.left(it->second.size - 1));
            if (!unstorable.isEmpty()) {
                // Packed, they would reach the device as substitute bytes.
                const DiagContext at(e);
                diagOutWarning("Var %s: characters '%s' cannot be stored in %s, value kept\n",
                               qPrintable(it->first), unstorable.toUtf8().constData(), qPrintable(m_encoding));
                continue;
            }
        }
        setValue(it->second, value);
        reportOutOfRange(it->second, e);
    }
    return true;
}
