#include "format/xmlsource.h"

#include "format/diag.h"
#include "format/xmlguard.h"

#include <QDomNamedNodeMap>
#include <QTextStream>
#include <QXmlStreamReader>

bool XmlElement::hasAttribute(QLatin1String name) const
{
    for (const auto &attribute : attributes) {
        if (attribute.first == name)
            return true;
    }
    return false;
}

QString XmlElement::attribute(QLatin1String name, const QString &absent) const
{
    for (const auto &attribute : attributes) {
        if (attribute.first == name)
            return attribute.second;
    }
    return absent;
}

namespace {

void reportTooDeep(const XmlElement &element)
{
    diagOut("Markup in '%s' nested too deeply\n", element.tag.toLocal8Bit().constData());
}

// Element nesting below a DOM element, counted without recursion; stops once past the limit.
bool markupWithin(const QDomElement &element, int limit)
{
    int depth = 0;
    QDomNode node = element.firstChild();
    while (!node.isNull()) {
        if (node.isElement() && node.hasChildNodes()) {
            if (++depth > limit)
                return false;
            node = node.firstChild();
            continue;
        }
        while (node.nextSibling().isNull()) {
            node = node.parentNode();
            if (node == element)
                return true;
            --depth;
        }
        node = node.nextSibling();
    }
    return true;
}

// The escaping of the DOM library's writer: in text, '<' and '&' always and '>' after "]]";
// in attribute values also quotes and the characters a reader would normalise to blanks.
void appendEscaped(QStringView text, bool attribute, QString &out)
{
    const qsizetype size = text.size();
    qsizetype from = 0;
    const auto replace = [&](qsizetype at, QLatin1String by) {
        out += text.mid(from, at - from);
        out += by;
        from = at + 1;
    };
    for (qsizetype i = 0; i < size; ++i) {
        switch (text[i].unicode()) {
        case '<': replace(i, QLatin1String("&lt;")); break;
        case '&': replace(i, QLatin1String("&amp;")); break;
        case '"':
            if (attribute)
                replace(i, QLatin1String("&quot;"));
            break;
        case '>':
            if (i >= 2 && text[i - 1] == QLatin1Char(']') && text[i - 2] == QLatin1Char(']'))
                replace(i, QLatin1String("&gt;"));
            break;
        case '\r': replace(i, QLatin1String("&#xd;")); break;
        case '\n':
            if (attribute)
                replace(i, QLatin1String("&#xa;"));
            break;
        case '\t':
            if (attribute)
                replace(i, QLatin1String("&#x9;"));
            break;
        default: break;
        }
    }
    out += text.mid(from);
}

void appendAttribute(QStringView name, QStringView value, QString &out)
{
    out += QLatin1Char(' ');
    out += name;
    out += QLatin1String("=\"");
    appendEscaped(value, true, out);
    out += QLatin1Char('"');
}

void indent(int depth, QString &out)
{
    out.resize(out.size() + depth * 4, QLatin1Char(' '));
}

} // namespace

// ---- DOM ------------------------------------------------------------------------------------

XmlElement DomXmlSource::element(const QDomElement &e)
{
    XmlElement element;
    element.tag = e.tagName();
    const QDomNamedNodeMap attributes = e.attributes();
    element.attributes.reserve(attributes.count());
    for (int i = 0; i < attributes.count(); ++i)
        element.attributes.append({attributes.item(i).nodeName(), attributes.item(i).nodeValue()});
    element.line = qMax(0, e.lineNumber());
    element.column = qMax(0, e.columnNumber());
    const QDomNode before = e.previousSibling();
    element.afterText = before.isText();
    element.source = this;
    element.dom = e;
    return element;
}

bool DomXmlSource::forEachChild(XmlElement &parent, const ChildHandler &handle)
{
    for (QDomNode node = parent.dom.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!node.isElement())
            continue;
        XmlElement child = element(node.toElement());
        if (!handle(child))
            return false;
    }
    return true;
}

// The element is renamed and stripped only while it is written, so its document is left as
// it was.
bool DomXmlSource::writeMarkup(XmlElement &element, const MarkupForm &form, int limit, QString *out)
{
    QDomElement e = element.dom;
    if (!markupWithin(e, limit)) {
        reportTooDeep(element);
        return false;
    }
    const QString tag = e.tagName();
    QList<QPair<QString, QString>> removed;
    const QDomNamedNodeMap attributes = e.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QString name = attributes.item(i).nodeName();
        if (!form.attributes || name == form.without)
            removed.append({name, attributes.item(i).nodeValue()});
    }
    if (!form.tag.isNull())
        e.setTagName(form.tag);
    for (const auto &attribute : std::as_const(removed))
        e.removeAttribute(attribute.first);
    QTextStream stream(out);
    e.save(stream, 4);
    stream.flush();
    e.setTagName(tag);
    for (const auto &attribute : std::as_const(removed))
        e.setAttribute(attribute.first, attribute.second);
    return true;
}

bool DomXmlSource::capture(XmlElement &element, XmlElement *copy, std::unique_ptr<XmlSource> *owner)
{
    *copy = element;
    owner->reset();
    return true;
}

// ---- captured elements ----------------------------------------------------------------------

namespace {

class CapturedXmlSource : public XmlSource
{
public:
    struct Entry {
        XmlElement element;
        std::vector<int> children;
    };
    std::vector<Entry> entries;

    bool forEachChild(XmlElement &parent, const ChildHandler &handle) override
    {
        for (const int index : entries[size_t(parent.captured)].children) {
            XmlElement child = entries[size_t(index)].element;
            if (!handle(child))
                return false;
        }
        return true;
    }
    // Only elements are kept; nothing that writes markup reads a captured copy.
    bool writeMarkup(XmlElement &element, const MarkupForm &, int, QString *) override
    {
        reportTooDeep(element);
        return false;
    }
    bool capture(XmlElement &element, XmlElement *copy, std::unique_ptr<XmlSource> *owner) override
    {
        *copy = element;
        owner->reset();
        return true;
    }
};

} // namespace

// ---- stream ---------------------------------------------------------------------------------

StreamXmlSource::StreamXmlSource(QXmlStreamReader &reader, XmlGuard *guard)
    : reader(reader), guard(guard)
{
}

StreamXmlSource::~StreamXmlSource() = default;

// The next token into the reader, which stays pending until advance() hands it out.
bool StreamXmlSource::read()
{
    if (pending)
        return !fault;
    if (fault)
        return false;
    reader.readNext();
    if (reader.hasError()) {
        fault = true;
        return false;
    }
    if (guard && !guard->accept(reader)) {
        fault = guardRefused = true;
        return false;
    }
    pending = true;
    return true;
}

bool StreamXmlSource::advance()
{
    if (!read())
        return false;
    pending = false;
    if (reader.tokenType() == QXmlStreamReader::StartElement)
        ++depth;
    else if (reader.tokenType() == QXmlStreamReader::EndElement)
        --depth;
    return true;
}

// A description uses a few dozen names of elements and attributes thousands of times each;
// each is made into a string once. A name whose slot is taken by another is simply made anew.
QString StreamXmlSource::name(QStringView text)
{
    if (text.isEmpty())
        return text.toString();
    const size_t slot = (size_t(text.size()) * 31 + text.front().unicode() * 7 + text.back().unicode()) % NameSlots;
    QString &known = names[slot];
    if (known == text)
        return known;
    QString made = text.toString();
    if (known.isNull())
        known = made;
    return made;
}

void StreamXmlSource::take(XmlElement *element)
{
    element->tag = name(reader.qualifiedName());
    const QXmlStreamAttributes attributes = reader.attributes();
    element->attributes.clear();
    element->attributes.reserve(attributes.size());
    for (const QXmlStreamAttribute &attribute : attributes)
        element->attributes.append({name(attribute.qualifiedName()), attribute.value().toString()});
    element->line = int(reader.lineNumber());
    element->column = int(reader.columnNumber());
    element->afterText = false;
    element->source = this;
    element->dom = QDomElement();
    element->captured = -1;
}

QString StreamXmlSource::errorString() const
{
    return ownError.isNull() ? reader.errorString() : ownError;
}

int StreamXmlSource::errorLine() const
{
    return ownError.isNull() ? int(reader.lineNumber()) : ownErrorLine;
}

int StreamXmlSource::errorColumn() const
{
    return ownError.isNull() ? int(reader.columnNumber()) : ownErrorColumn;
}

bool StreamXmlSource::readRoot(XmlElement *root)
{
    while (advance()) {
        if (reader.tokenType() == QXmlStreamReader::StartElement) {
            take(root);
            return true;
        }
        // The reader lets a second document type pass; the DOM parser does not.
        if (reader.tokenType() == QXmlStreamReader::DTD) {
            if (sawDocumentType) {
                ownError = QStringLiteral("Multiple DTD sections are not allowed");
                ownErrorLine = int(reader.lineNumber());
                ownErrorColumn = int(reader.columnNumber());
                break;
            }
            sawDocumentType = true;
        }
        if (reader.tokenType() == QXmlStreamReader::EndDocument)
            break;
    }
    fault = true;
    return false;
}

bool StreamXmlSource::readToEnd()
{
    while (advance()) {
        if (reader.tokenType() == QXmlStreamReader::EndDocument)
            return true;
    }
    return false;
}

bool StreamXmlSource::forEachChild(XmlElement &parent, const ChildHandler &handle)
{
    Q_UNUSED(parent);
    const int level = depth; // the parent is open
    bool afterText = false;
    while (advance()) {
        switch (reader.tokenType()) {
        case QXmlStreamReader::StartElement: {
            XmlElement child;
            take(&child);
            child.afterText = afterText;
            if (!handle(child))
                return false;
            // Whatever the handler left of the child is passed over.
            while (depth > level) {
                if (!advance())
                    return false;
            }
            afterText = false;
            break;
        }
        case QXmlStreamReader::EndElement:
            return true;
        case QXmlStreamReader::Characters:
            // The DOM keeps no text made of blanks alone; every other text is a node.
            if (!reader.isWhitespace())
                afterText = true;
            break;
        default:
            afterText = false;
            break;
        }
    }
    return false;
}

// Whether the node after the element just read is text; the token is left for whoever reads on.
bool StreamXmlSource::peekIsText()
{
    while (read()) {
        if (reader.tokenType() != QXmlStreamReader::Characters)
            return false;
        if (!reader.isWhitespace())
            return true;
        advance(); // blanks alone are no node
    }
    return false;
}

// Written in one pass as the tokens come: what the DOM's writer decides from a node's
// neighbours (a line break after markup unless text follows, indentation unless text comes
// before, "/>" for an element with nothing kept inside) is decided when the next token shows it.
bool StreamXmlSource::writeMarkup(XmlElement &element, const MarkupForm &form, int limit, QString *out)
{
    struct Open {
        QString tag;
        bool closed = false;   // its start tag has its '>': something is kept inside
        bool lastText = false; // the node written last inside it is text
    };
    std::vector<Open> open;
    open.push_back({form.tag.isNull() ? element.tag : form.tag});
    QString &o = *out;
    if (!element.afterText)
        indent(1, o);
    o += QLatin1Char('<');
    o += open.back().tag;
    if (form.attributes) {
        for (const auto &attribute : std::as_const(element.attributes)) {
            if (attribute.first != form.without)
                appendAttribute(attribute.first, attribute.second, o);
        }
    }
    bool lineEndDue = false; // after an element or comment, unless text follows
    // Where a node kept inside the innermost open element goes: its start tag closed, the line
    // end due before it written, its indentation. False past the nesting limit.
    const auto place = [&](bool text) {
        if (int(open.size()) > limit + 1)
            return false;
        Open &parent = open.back();
        if (!parent.closed) {
            o += QLatin1Char('>');
            if (!text)
                o += QLatin1Char('\n');
            parent.closed = true;
        } else if (lineEndDue && !text) {
            o += QLatin1Char('\n');
        }
        lineEndDue = false;
        return true;
    };
    const int level = depth - 1; // the element is open
    while (advance()) {
        const QXmlStreamReader::TokenType token = reader.tokenType();
        if (token == QXmlStreamReader::EndElement) {
            const Open &ended = open.back();
            if (!ended.closed) {
                o += QLatin1String("/>");
            } else {
                if (lineEndDue)
                    o += QLatin1Char('\n');
                if (!ended.lastText)
                    indent(int(open.size()), o);
                o += QLatin1String("</");
                o += ended.tag;
                o += QLatin1Char('>');
            }
            lineEndDue = true;
            open.pop_back();
            if (depth == level) {
                if (!peekIsText())
                    o += QLatin1Char('\n');
                return true;
            }
            continue;
        }
        // The DOM keeps every node but text made of blanks alone (and what cannot stand inside
        // an element).
        const bool text = token == QXmlStreamReader::Characters;
        const bool kept = text ? !reader.isWhitespace()
                               : token == QXmlStreamReader::StartElement || token == QXmlStreamReader::Comment
                                     || token == QXmlStreamReader::ProcessingInstruction
                                     || token == QXmlStreamReader::EntityReference;
        if (!kept)
            continue;
        if (!place(text)) {
            reportTooDeep(element);
            return false;
        }
        Open &parent = open.back();
        switch (token) {
        case QXmlStreamReader::StartElement: {
            if (!parent.lastText)
                indent(int(open.size()) + 1, o);
            parent.lastText = false;
            Open child;
            child.tag = reader.qualifiedName().toString();
            o += QLatin1Char('<');
            o += child.tag;
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute &attribute : attributes)
                appendAttribute(attribute.qualifiedName(), attribute.value(), o);
            open.push_back(std::move(child));
            break;
        }
        case QXmlStreamReader::Characters:
            if (reader.isCDATA()) {
                o += QLatin1String("<![CDATA[");
                o += reader.text();
                o += QLatin1String("]]>");
            } else {
                appendEscaped(reader.text(), false, o);
            }
            parent.lastText = true;
            break;
        case QXmlStreamReader::Comment:
            if (!parent.lastText)
                indent(int(open.size()) + 1, o);
            o += QLatin1String("<!--");
            o += reader.text();
            o += QLatin1String("-->");
            lineEndDue = true;
            parent.lastText = false;
            break;
        case QXmlStreamReader::ProcessingInstruction:
            o += QLatin1String("<?");
            o += reader.processingInstructionTarget();
            o += QLatin1Char(' ');
            o += reader.processingInstructionData();
            o += QLatin1String("?>\n");
            parent.lastText = false;
            break;
        default: // an entity reference
            o += QLatin1Char('&');
            o += reader.name();
            o += QLatin1Char(';');
            parent.lastText = false;
            break;
        }
    }
    return false;
}

bool StreamXmlSource::capture(XmlElement &element, XmlElement *copy, std::unique_ptr<XmlSource> *owner)
{
    auto captured = std::make_unique<CapturedXmlSource>();
    auto &entries = captured->entries;
    const auto add = [&](const XmlElement &e) {
        entries.push_back({e, {}});
        entries.back().element.source = captured.get();
        entries.back().element.captured = int(entries.size()) - 1;
    };
    add(element);
    std::vector<int> open{0};
    const int level = depth - 1;
    while (advance()) {
        if (reader.tokenType() == QXmlStreamReader::StartElement) {
            XmlElement child;
            take(&child);
            entries[size_t(open.back())].children.push_back(int(entries.size()));
            add(child);
            open.push_back(int(entries.size()) - 1);
        } else if (reader.tokenType() == QXmlStreamReader::EndElement) {
            if (depth == level) {
                *copy = entries.front().element;
                *owner = std::move(captured);
                return true;
            }
            open.pop_back();
        }
    }
    return false;
}
