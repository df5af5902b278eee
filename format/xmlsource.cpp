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
QString escaped(const QString &text, bool attribute)
{
    QString out;
    out.reserve(text.size() + 8);
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '<': out += QLatin1String("&lt;"); break;
        case '&': out += QLatin1String("&amp;"); break;
        case '"': out += attribute ? QLatin1String("&quot;") : QLatin1String("\""); break;
        case '>':
            if (i >= 2 && text.at(i - 1) == QLatin1Char(']') && text.at(i - 2) == QLatin1Char(']'))
                out += QLatin1String("&gt;");
            else
                out += c;
            break;
        case '\r': out += QLatin1String("&#xd;"); break;
        case '\n': out += attribute ? QLatin1String("&#xa;") : QLatin1String("\n"); break;
        case '\t': out += attribute ? QLatin1String("&#x9;") : QLatin1String("\t"); break;
        default: out += c;
        }
    }
    return out;
}

void indent(int depth, QString &out)
{
    out += QString(depth * 4, QLatin1Char(' '));
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

struct StreamXmlSource::Node {
    enum Kind { Element, Text, CData, Comment, Instruction, Entity } kind = Element;
    QString name; // tag, instruction target, entity name
    QString value; // text, comment, instruction data
    QList<QPair<QString, QString>> attributes;
    std::vector<int> children;
    bool isText() const { return kind == Text || kind == CData; }
};

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

void StreamXmlSource::take(XmlElement *element)
{
    element->tag = reader.qualifiedName().toString();
    const QXmlStreamAttributes attributes = reader.attributes();
    element->attributes.clear();
    element->attributes.reserve(attributes.size());
    for (const QXmlStreamAttribute &attribute : attributes)
        element->attributes.append({attribute.qualifiedName().toString(), attribute.value().toString()});
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

// The element's content as nodes, as the DOM would keep them; nodes[0] is the element.
bool StreamXmlSource::readNodes(std::vector<Node> &nodes, int limit, bool *tooDeep)
{
    *tooDeep = false;
    nodes.clear();
    nodes.push_back(Node{});
    std::vector<int> open{0};
    const int level = depth - 1; // the element is open
    const auto add = [&](Node node) {
        // Level 1 is the element's children; a node below level limit + 1 lies inside more
        // than `limit` elements that have content.
        if (int(open.size()) > limit + 1) {
            *tooDeep = true;
            return false;
        }
        nodes[size_t(open.back())].children.push_back(int(nodes.size()));
        nodes.push_back(std::move(node));
        return true;
    };
    while (advance()) {
        switch (reader.tokenType()) {
        case QXmlStreamReader::StartElement: {
            Node node;
            node.name = reader.qualifiedName().toString();
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute &attribute : attributes)
                node.attributes.append({attribute.qualifiedName().toString(), attribute.value().toString()});
            if (!add(std::move(node)))
                return false;
            open.push_back(int(nodes.size()) - 1);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (depth == level)
                return true;
            open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace()) {
                Node node;
                node.kind = reader.isCDATA() ? Node::CData : Node::Text;
                node.value = reader.text().toString();
                if (!add(std::move(node)))
                    return false;
            }
            break;
        case QXmlStreamReader::Comment: {
            Node node;
            node.kind = Node::Comment;
            node.value = reader.text().toString();
            if (!add(std::move(node)))
                return false;
            break;
        }
        case QXmlStreamReader::ProcessingInstruction: {
            Node node;
            node.kind = Node::Instruction;
            node.name = reader.processingInstructionTarget().toString();
            node.value = reader.processingInstructionData().toString();
            if (!add(std::move(node)))
                return false;
            break;
        }
        case QXmlStreamReader::EntityReference: {
            Node node;
            node.kind = Node::Entity;
            node.name = reader.name().toString();
            if (!add(std::move(node)))
                return false;
            break;
        }
        default:
            break;
        }
    }
    return false;
}

namespace {

template<typename NodeT>
void writeNode(const std::vector<NodeT> &nodes, int index, int depth, bool afterText, bool beforeText,
               QString &out)
{
    const NodeT &node = nodes[size_t(index)];
    switch (node.kind) {
    case NodeT::Element: {
        if (!afterText)
            indent(depth, out);
        out += QLatin1Char('<') + node.name;
        for (const auto &attribute : node.attributes)
            out += QLatin1Char(' ') + attribute.first + QLatin1String("=\"") + escaped(attribute.second, true)
                 + QLatin1Char('"');
        if (node.children.empty()) {
            out += QLatin1String("/>");
        } else {
            out += QLatin1Char('>');
            const size_t count = node.children.size();
            if (!nodes[size_t(node.children.front())].isText())
                out += QLatin1Char('\n');
            for (size_t i = 0; i < count; ++i) {
                const bool before = i > 0 && nodes[size_t(node.children[i - 1])].isText();
                const bool after = i + 1 < count && nodes[size_t(node.children[i + 1])].isText();
                writeNode(nodes, node.children[i], depth + 1, before, after, out);
            }
            if (!nodes[size_t(node.children.back())].isText())
                indent(depth, out);
            out += QLatin1String("</") + node.name + QLatin1Char('>');
        }
        if (!beforeText)
            out += QLatin1Char('\n');
        break;
    }
    case NodeT::Text:
        out += escaped(node.value, false);
        break;
    case NodeT::CData:
        out += QLatin1String("<![CDATA[") + node.value + QLatin1String("]]>");
        break;
    case NodeT::Comment:
        if (!afterText)
            indent(depth, out);
        out += QLatin1String("<!--") + node.value + QLatin1String("-->");
        if (!beforeText)
            out += QLatin1Char('\n');
        break;
    case NodeT::Instruction:
        out += QLatin1String("<?") + node.name + QLatin1Char(' ') + node.value + QLatin1String("?>\n");
        break;
    case NodeT::Entity:
        out += QLatin1Char('&') + node.name + QLatin1Char(';');
        break;
    }
}

} // namespace

bool StreamXmlSource::writeMarkup(XmlElement &element, const MarkupForm &form, int limit, QString *out)
{
    std::vector<Node> nodes;
    bool tooDeep = false;
    if (!readNodes(nodes, limit, &tooDeep)) {
        if (tooDeep)
            reportTooDeep(element);
        return false;
    }
    Node &top = nodes.front();
    top.name = form.tag.isNull() ? element.tag : form.tag;
    if (form.attributes) {
        for (const auto &attribute : std::as_const(element.attributes)) {
            if (attribute.first != form.without)
                top.attributes.append(attribute);
        }
    }
    const bool beforeText = peekIsText();
    writeNode(nodes, 0, 1, element.afterText, beforeText, *out);
    return true;
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
