#include "format/xmldoc.h"

#include "format/diag.h"

#include <QFile>
#include <QTextStream>

namespace {
QString backupPath(const QString &path)
{
    return path + QStringLiteral(".bak");
}
} // namespace

QDomDocument loadXmlDocument(const QString &path, bool *ok)
{
    if (ok)
        *ok = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        diagErr("Can't open file '%s' for reading\n", path.toLocal8Bit().constData());
        return QDomDocument();
    }
    QDomDocument doc;
    QString message;
    int line = 0;
    int column = 0;
    // Given the device rather than text, the parser picks the encoding from the
    // declaration or byte-order mark and assumes UTF-8 otherwise.
    if (!doc.setContent(&file, false, &message, &line, &column)) {
        diagErr("Parse error for file '%s': %s. At line %d, column %d.\n", path.toLocal8Bit().constData(),
                message.toLocal8Bit().constData(), line, column);
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
    if (!loaded)
        doc = loadXmlDocument(backupPath(path), &loaded);
    if (ok)
        *ok = loaded;
    return doc;
}

bool saveXmlDocument(const QDomDocument &doc, const QString &path)
{
    const QString backup = backupPath(path);
    if (QFile::exists(backup))
        QFile::remove(backup);
    if (QFile::exists(path))
        QFile::rename(path, backup);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        diagErr("Can't open file '%s' for writing\n", path.toLocal8Bit().constData());
        return false;
    }
    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::Utf8);
    doc.save(stream, 0);
    stream.flush();
    // A full disk must not pass for a saved file: the previous version is still in
    // the ".bak" copy, where loadXmlDocumentWithBackup finds it.
    const bool written = stream.status() == QTextStream::Ok && file.flush() && file.error() == QFile::NoError;
    file.close();
    if (!written || file.error() != QFile::NoError) {
        diagErr("Can't write file '%s'\n", path.toLocal8Bit().constData());
        return false;
    }
    return true;
}
