#include "format/xmlguard.h"

#include "format/diag.h"
#include "format/wholefile.h"

#include <QFile>
#include <QXmlStreamReader>


namespace {

QByteArray shown(const QString &path)
{
    return path.toLocal8Bit();
}

} // namespace

bool readXmlFile(const QString &path, QByteArray *bytes)
{
    QFile file;
    qint64 size = 0;
    QString reason;
    switch (openRegularFile(path, &file, &size, &reason)) {
    case InputRefusal::None:
        break;
    case InputRefusal::CannotOpen:
    case InputRefusal::Directory:
        diagErr("Can't open file '%s' for reading\n", shown(path).constData());
        return false;
    case InputRefusal::NotRegular:
        diagErr("Can't read file '%s': not a regular file\n", shown(path).constData());
        return false;
    }
    if (size > MaxXmlFileBytes) {
        diagErr("Can't read file '%s': %lld bytes, more than %lld\n", shown(path).constData(),
                static_cast<long long>(size), static_cast<long long>(MaxXmlFileBytes));
        return false;
    }
    // Read to the end rather than to the size seen above, but never past the limit: the
    // file may grow meanwhile.
    bytes->clear();
    bytes->reserve(qsizetype(size));
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0) {
            diagErr("Can't read file '%s': %s\n", shown(path).constData(),
                    file.errorString().toLocal8Bit().constData());
            bytes->clear();
            return false;
        }
        if (n == 0)
            return true;
        bytes->append(chunk, qsizetype(n));
        if (bytes->size() > MaxXmlFileBytes) {
            diagErr("Can't read file '%s': more than %lld bytes\n", shown(path).constData(),
                    static_cast<long long>(MaxXmlFileBytes));
            bytes->clear();
            return false;
        }
    }
}

bool XmlGuard::accept(const QXmlStreamReader &reader)
{
    switch (reader.tokenType()) {
    case QXmlStreamReader::StartElement:
        if (++depth > MaxXmlDepth)
            why = "elements nested deeper than " + QByteArray::number(MaxXmlDepth) + " levels";
        break;
    case QXmlStreamReader::EndElement:
        --depth;
        break;
    case QXmlStreamReader::DTD: {
        const QXmlStreamEntityDeclarations entities = reader.entityDeclarations();
        for (const QXmlStreamEntityDeclaration &e : entities) {
            if (!e.systemId().isEmpty() || !e.publicId().isEmpty()) {
                why = "external entity '" + e.name().toLocal8Bit() + "' refused";
                break;
            }
        }
        break;
    }
    default:
        break;
    }
    if (why.isEmpty())
        return true;
    line = reader.lineNumber();
    column = reader.columnNumber();
    return false;
}

void reportXmlParseError(const QString &path, const QByteArray &message, qint64 line, qint64 column)
{
    const DiagContext where{int(line), int(column)};
    diagErr("Parse error for file '%s': %s. At line %lld, column %lld.\n", shown(path).constData(), message.constData(),
            static_cast<long long>(line), static_cast<long long>(column));
}

void XmlGuard::reportRefusal(const QString &path) const
{
    reportXmlParseError(path, why, line, column);
}

bool checkXmlDocument(const QString &path, const QByteArray &bytes)
{
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    XmlGuard guard;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!guard.accept(reader)) {
            guard.reportRefusal(path);
            return false;
        }
    }
    return true;
}
