#include "format/xmldoc.h"

#include "format/diag.h"
#include "format/xmlguard.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringEncoder>
#include <algorithm>

namespace {
// The document is written by hand rather than with QDomNode::save because the DOM
// keeps attributes in a hash: the order would change from run to run, and so would
// every saved file. Attributes are written sorted by name; the layout is that of
// indentation 0 (each element on a line of its own unless it sits between texts).
QString escaped(const QString &text, bool attribute)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += attribute ? QLatin1String("&quot;") : QLatin1String("\""); break;
        // Line ends and tabs in attributes would be normalised to blanks when read back.
        case '\n': out += attribute ? QLatin1String("&#xa;") : QLatin1String("\n"); break;
        case '\t': out += attribute ? QLatin1String("&#x9;") : QLatin1String("\t"); break;
        case '\r': out += QLatin1String("&#xd;"); break;
        default:
            // XML 1.0 cannot carry these at all, not even as references: written
            // out they would make the whole file unreadable, so they are left out.
            if (c.unicode() < 0x20 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
                break;
            out += c;
        }
    }
    return out;
}

bool isText(const QDomNode &node)
{
    return node.isText() || node.isEntityReference(); // CDATA sections are texts too
}

void writeNode(const QDomNode &node, QString &out);

void writeChildren(const QDomNode &parent, QString &out)
{
    for (QDomNode child = parent.firstChild(); !child.isNull(); child = child.nextSibling())
        writeNode(child, out);
}

// A line break after markup unless text follows directly, as the DOM's own writer does.
void endLine(const QDomNode &node, QString &out)
{
    const QDomNode next = node.nextSibling();
    if (next.isNull() || !isText(next))
        out += QLatin1Char('\n');
}

void writeElement(const QDomElement &e, QString &out)
{
    out += QLatin1Char('<') + e.tagName();
    const QDomNamedNodeMap attributes = e.attributes();
    QList<QPair<QString, QString>> sorted;
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr a = attributes.item(i).toAttr();
        sorted.append({a.name(), a.value()});
    }
    std::sort(sorted.begin(), sorted.end());
    for (const auto &a : sorted)
        out += QLatin1Char(' ') + a.first + QLatin1String("=\"") + escaped(a.second, true) + QLatin1Char('"');
    if (!e.hasChildNodes()) {
        out += QLatin1String("/>");
    } else {
        out += QLatin1Char('>');
        if (!isText(e.firstChild()))
            out += QLatin1Char('\n');
        writeChildren(e, out);
        out += QLatin1String("</") + e.tagName() + QLatin1Char('>');
    }
    endLine(e, out);
}

void writeDocumentType(const QDomDocumentType &type, QString &out)
{
    out += QLatin1String("<!DOCTYPE ") + type.name();
    if (!type.publicId().isEmpty())
        out += QLatin1String(" PUBLIC \"") + type.publicId() + QLatin1String("\" \"") + type.systemId()
            + QLatin1Char('"');
    else if (!type.systemId().isEmpty())
        out += QLatin1String(" SYSTEM \"") + type.systemId() + QLatin1Char('"');
    if (!type.internalSubset().isEmpty())
        out += QLatin1String(" [") + type.internalSubset() + QLatin1Char(']');
    out += QLatin1String(">\n");
}

bool isDeclaration(const QDomNode &node)
{
    return node.isProcessingInstruction() && node.toProcessingInstruction().target() == QLatin1String("xml");
}

// The document type is not always among the document's children (a type given at
// construction is not), so it is written here: after the XML declaration, before the rest.
void writeDocument(const QDomDocument &doc, QString &out)
{
    QDomNode child = doc.firstChild();
    if (isDeclaration(child)) {
        writeNode(child, out);
        child = child.nextSibling();
    }
    if (!doc.doctype().isNull() && !doc.doctype().name().isEmpty())
        writeDocumentType(doc.doctype(), out);
    for (; !child.isNull(); child = child.nextSibling())
        writeNode(child, out);
}

void writeNode(const QDomNode &node, QString &out)
{
    switch (node.nodeType()) {
    case QDomNode::ElementNode:
        writeElement(node.toElement(), out);
        break;
    case QDomNode::TextNode:
        out += escaped(node.nodeValue(), false);
        break;
    case QDomNode::CDATASectionNode:
        out += QLatin1String("<![CDATA[")
            + node.nodeValue().replace(QLatin1String("]]>"), QLatin1String("]]]]><![CDATA[>"))
            + QLatin1String("]]>");
        break;
    case QDomNode::EntityReferenceNode:
        out += QLatin1Char('&') + node.nodeName() + QLatin1Char(';');
        break;
    case QDomNode::CommentNode:
        out += QLatin1String("<!--") + node.nodeValue() + QLatin1String("-->");
        endLine(node, out);
        break;
    case QDomNode::ProcessingInstructionNode: {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        out += QLatin1String("<?") + pi.target() + QLatin1Char(' ') + pi.data() + QLatin1String("?>");
        endLine(node, out);
        break;
    }
    case QDomNode::DocumentTypeNode:
        break; // written by writeDocument, after any XML declaration
    case QDomNode::DocumentNode:
        writeDocument(node.toDocument(), out);
        break;
    case QDomNode::DocumentFragmentNode:
        writeChildren(node, out);
        break;
    default:
        break;
    }
}

// The encoding named by the XML declaration, if the document starts with one.
QByteArray declaredEncoding(const QDomDocument &doc)
{
    const QDomNode first = doc.firstChild();
    if (!isDeclaration(first))
        return QByteArray();
    const QString data = first.toProcessingInstruction().data();
    const int at = data.indexOf(QLatin1String("encoding"));
    if (at < 0)
        return QByteArray();
    const int open = data.indexOf(QRegularExpression(QStringLiteral("[\"']")), at);
    if (open < 0)
        return QByteArray();
    const int close = data.indexOf(data.at(open), open + 1);
    return close < 0 ? QByteArray() : data.mid(open + 1, close - open - 1).toLatin1();
}

QByteArray serialise(const QDomDocument &doc)
{
    QString text;
    writeNode(doc, text);
    const QByteArray name = declaredEncoding(doc);
    if (!name.isEmpty()) {
        QStringEncoder encoder(name.constData());
        if (encoder.isValid())
            return encoder.encode(text);
    }
    return text.toUtf8();
}
} // namespace

QString xmlBackupPath(const QString &path)
{
    return path + QStringLiteral(".bak");
}

void reportXmlBackupUsed(const QString &path)
{
    diagOutWarning("File '%s' does not load; its backup '%s' was used\n", path.toLocal8Bit().constData(),
                   xmlBackupPath(path).toLocal8Bit().constData());
}

QDomDocument loadXmlDocument(const QString &path, bool *ok)
{
    if (ok)
        *ok = false;
    QByteArray bytes;
    if (!readXmlFile(path, &bytes) || !checkXmlDocument(path, bytes))
        return QDomDocument();
    QDomDocument doc;
    QString message;
    int line = 0;
    int column = 0;
    // Given bytes rather than text, the parser picks the encoding from the
    // declaration or byte-order mark and assumes UTF-8 otherwise.
    if (!doc.setContent(bytes, false, &message, &line, &column)) {
        const DiagContext file(path);
        reportXmlParseError(path, message.toLocal8Bit(), line, column);
        return QDomDocument();
    }
    if (ok)
        *ok = true;
    return doc;
}

QDomDocument loadXmlDocumentWithBackup(const QString &path, bool *ok)
{
    bool loaded = false;
    QDomDocument doc = loadXmlDocument(path, &loaded);
    if (!loaded) {
        doc = loadXmlDocument(xmlBackupPath(path), &loaded);
        if (loaded)
            reportXmlBackupUsed(path);
    }
    if (ok)
        *ok = loaded;
    return doc;
}

QByteArray xmlDocumentBytes(const QDomDocument &doc)
{
    return serialise(doc);
}

bool saveXmlDocument(const QDomDocument &doc, const QString &path)
{
    // A device or a FIFO is written into as it is: moving it aside as ".bak" would
    // take a device node away, or leave a plain file where a pipe was.
    const QFileInfo target(path);
    const bool special = target.exists() && !target.isFile() && !target.isDir();
    const QString backup = xmlBackupPath(path);
    if (!special && QFile::exists(backup))
        QFile::remove(backup);
    // A folder that refuses new names can still hold a file we may write: the save goes
    // ahead, but the previous version is then lost for good, which must not pass
    // for an ordinary save.
    if (!special && QFile::exists(path) && !QFile::rename(path, backup))
        diagErr("Can't keep the previous file '%s' as '%s'\n", path.toLocal8Bit().constData(),
                backup.toLocal8Bit().constData());

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        diagErr("Can't open file '%s' for writing\n", path.toLocal8Bit().constData());
        return false;
    }
    const QByteArray bytes = serialise(doc);
    // A full disk must not pass for a saved file: the previous version is still in
    // the ".bak" copy, where loadXmlDocumentWithBackup finds it.
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || file.error() != QFile::NoError) {
        diagErr("Can't write file '%s'\n", path.toLocal8Bit().constData());
        return false;
    }
    return true;
}
