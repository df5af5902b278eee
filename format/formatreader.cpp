// Reading a description's Format element into a ConfFormat: one helper per tag family.
#include "format/confformat.h"

#include "format/diag.h"

#include "format/xmlsource.h"

#include <QDomElement>
#include <cstring>
#include <memory>

namespace {

// The image header holds the data size in 16 bits, so a larger data area could be
// packed but never read back.
constexpr qint64 MaxDataSize = 65535;
// Arrays of (possibly empty) structures multiply; every real variable takes at least
// one byte, so this only stops descriptions that would exhaust memory.
constexpr size_t MaxRecords = 262144;
// Each nesting level costs a stack frame; real descriptions nest two or three deep.
constexpr int MaxStructNesting = 64;
constexpr int MaxArrayDim = 100;
constexpr int MaxStringSize = 255;
constexpr int MaxFileSize = 10240;
// Digits after the point of a float. Far above any real use; an unbounded count makes
// every text of the value as long as the count (a crash inside Qt near INT_MAX).
constexpr int MaxDecimals = 100;

// Decimal integer; text that is not a number (or does not fit) reads as 0.
// QString::toInt ignores leading and trailing blanks, so " 5" reads as 5.
int toInt(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : 0;
}

int intAttribute(const XmlElement &e, QLatin1String name, int absent)
{
    return e.hasAttribute(name) ? toInt(e.attribute(name)) : absent;
}

float floatAttribute(const XmlElement &e, QLatin1String name, quint32 absentBits)
{
    if (!e.hasAttribute(name)) {
        float f;
        std::memcpy(&f, &absentBits, sizeof f);
        return f;
    }
    bool ok = false;
    const float v = e.attribute(name).toFloat(&ok);
    return ok ? v : 0.0f;
}

void readInt(ConfVar &var, const XmlElement &e, int size)
{
    var.kind = KindInt;
    var.size = size;
    var.value = 0;
    var.suffix = e.attribute(QLatin1String("suffix"));
    var.min = intAttribute(e, QLatin1String("min"), INT_MIN);
    var.max = intAttribute(e, QLatin1String("max"), INT_MAX);
    // Empty pieces are kept: "a||b" has three items and "" one empty item.
    if (e.hasAttribute(QLatin1String("select")))
        var.items = e.attribute(QLatin1String("select")).split(QLatin1Char('|'));
}

void readBool(ConfVar &var, const XmlElement &e)
{
    var.kind = KindInt;
    var.size = 1;
    var.value = 0;
    var.items = QStringList{e.attribute(QLatin1String("false"), ConfFormat::tr("off")),
                            e.attribute(QLatin1String("true"), ConfFormat::tr("on"))};
}

void readFloat(ConfVar &var, const XmlElement &e)
{
    var.kind = KindFloat;
    var.size = 4;
    var.floatValue = 0.0f;
    var.decimals = qBound(0, toInt(e.attribute(QLatin1String("format"), QStringLiteral("1"))), MaxDecimals);
    var.suffix = e.attribute(QLatin1String("suffix"));
    // Defaults are FLT_MIN (smallest positive normal, not the most negative value) and FLT_MAX.
    var.floatMin = floatAttribute(e, QLatin1String("min"), 0x00800000u);
    var.floatMax = floatAttribute(e, QLatin1String("max"), 0x7F7FFFFFu);
}

bool readSize(ConfVar &var, const XmlElement &e, int maxSize)
{
    if (!e.hasAttribute(QLatin1String("size"))) {
        diagOutError("No 'size' property\n");
        return false;
    }
    var.size = qBound(1, toInt(e.attribute(QLatin1String("size"))), maxSize);
    return true;
}

bool readString(ConfVar &var, const XmlElement &e)
{
    if (!readSize(var, e, MaxStringSize))
        return false;
    var.kind = KindString;
    var.text.clear();
    return true;
}

bool readFile(ConfVar &var, const XmlElement &e)
{
    if (!readSize(var, e, MaxFileSize))
        return false;
    // The slot starts with a 2-byte length; a smaller slot could hold neither.
    if (var.size < 2) {
        diagOutError("File '%s' too small\n", qPrintable(var.name));
        return false;
    }
    var.kind = KindFile;
    var.fileLength = 0;
    var.fileData.clear();
    return true;
}

} // namespace

ConfFormat *ConfFormat::create(const QString &id, const QDomElement &format)
{
    DomXmlSource source;
    XmlElement element = source.element(format);
    return create(id, element);
}

ConfFormat *ConfFormat::create(const QString &id, XmlElement &format)
{
    std::unique_ptr<ConfFormat> conf(new ConfFormat(id));
    conf->m_encoding = format.attribute(QLatin1String("encoding"), QStringLiteral("CP1251"));
    conf->m_dataSize = 0;
    if (!conf->parseVars(QString(), format))
        return nullptr;
    return conf.release();
}

bool ConfFormat::growDataSize(qint64 bytes)
{
    const qint64 next = qint64(m_dataSize) + bytes;
    if (next > MaxDataSize) {
        diagOutError("Data area too large (%lld bytes)\n", static_cast<long long>(next));
        return false;
    }
    m_dataSize = qint32(next);
    return true;
}

bool ConfFormat::addVar(const QString &fullName, XmlElement &element)
{
    // One search finds both a duplicate and the place of the new variable (a structure's
    // members go in before it, which makes the place a hint only).
    const auto place = m_vars.lower_bound(fullName);
    if (place != m_vars.end() && place->first == fullName) {
        diagOutError("Duplicate var name '%s'\n", qPrintable(fullName));
        return false;
    }
    if (m_vars.size() >= MaxRecords) {
        diagOutError("Too many variables (more than %d)\n", int(MaxRecords));
        return false;
    }
    ConfVar var;
    var.name = fullName;
    var.offset = m_dataSize;
    var.declLine = element.line;
    var.declColumn = element.column;
    if (!parseVarType(var, element))
        return false;
    const qint32 size = var.size;
    m_vars.emplace_hint(place, fullName, std::move(var));
    return growDataSize(size);
}

bool ConfFormat::parseVars(const QString &prefix, XmlElement &element)
{
    return element.source->forEachChild(element, [&](XmlElement &e) {
        const DiagContext where(e.line, e.column);
        if (e.tag == QLatin1String("pad")) {
            const int size = toInt(e.attribute(QLatin1String("size"), QStringLiteral("1")));
            // A negative pad would move later slots back over earlier ones.
            if (size < 0) {
                diagOutError("Bad pad size %d\n", size);
                return false;
            }
            return growDataSize(size);
        }
        if (!e.hasAttribute(QLatin1String("name"))) {
            diagOutError("No 'name' property\n");
            return false;
        }
        const QString name = e.attribute(QLatin1String("name"));
        const int bracket = name.indexOf(QLatin1Char('['));
        if (bracket < 0)
            return addVar(prefix + name, e);
        const QString base = name.left(bracket);
        const QString rest = name.mid(bracket + 1);
        if (!rest.endsWith(QLatin1Char(']'))) {
            diagOutError("Bad array format\n");
            return false;
        }
        const int dim = toInt(rest.chopped(1));
        if (dim < 1 || dim > MaxArrayDim) {
            diagOutError("Bad array dim\n");
            return false;
        }
        // Every index reads the element again; a streamed one is kept for that.
        XmlElement kept;
        std::unique_ptr<XmlSource> owner;
        if (!e.source->capture(e, &kept, &owner))
            return false;
        for (int i = 0; i < dim; ++i) {
            if (!addVar(prefix + base + QLatin1Char('[') + QString::number(i) + QLatin1Char(']'), kept))
                return false;
        }
        return true;
    });
}

bool ConfFormat::parseVarType(ConfVar &var, XmlElement &element)
{
    const QString &tag = element.tag;
    if (tag == QLatin1String("bool")) {
        readBool(var, element);
    } else if (tag == QLatin1String("byte")) {
        readInt(var, element, 1);
    } else if (tag == QLatin1String("word")) {
        readInt(var, element, 2);
    } else if (tag == QLatin1String("dword")) {
        readInt(var, element, 4);
    } else if (tag == QLatin1String("hhmm")) {
        var.kind = KindTime;
        var.size = 2;
        var.value = 0;
    } else if (tag == QLatin1String("ip")) {
        var.kind = KindIp;
        var.size = 4;
        var.value = 0;
    } else if (tag == QLatin1String("float")) {
        readFloat(var, element);
    } else if (tag == QLatin1String("string")) {
        return readString(var, element);
    } else if (tag == QLatin1String("file")) {
        return readFile(var, element);
    } else if (tag == QLatin1String("struct")) {
        return parseStruct(var, element);
    } else {
        diagOutError("Bad type '%s'\n", qPrintable(tag));
        return false;
    }
    return true;
}

bool ConfFormat::parseStruct(ConfVar &var, XmlElement &element)
{
    var.kind = KindStruct;
    var.size = 0;
    if (m_structNesting >= MaxStructNesting) {
        diagOutError("Struct '%s' nested too deeply\n", qPrintable(var.name));
        return false;
    }
    ++m_structNesting;
    // The members go into m_vars before the structure's own record, which is inserted by
    // the caller afterwards with the offset of its first member.
    const bool ok = parseVars(var.name + QLatin1Char('.'), element);
    --m_structNesting;
    return ok;
}
