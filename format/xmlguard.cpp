#include "format/xmlguard.h"

#include "format/diag.h"

#include <QFile>
#include <QXmlStreamReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray shown(const QString &path)
{
    return path.toLocal8Bit();
}

void refuse(const QString &path, const QXmlStreamReader &reader, const QByteArray &why)
{
    diagErr("Parse error for file '%s': %s. At line %lld, column %lld.\n", shown(path).constData(), why.constData(),
            static_cast<long long>(reader.lineNumber()), static_cast<long long>(reader.columnNumber()));
}

} // namespace

bool readXmlFile(const QString &path, QByteArray *bytes)
{
    // Without O_NONBLOCK, opening a FIFO waits until something opens its other end.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        diagErr("Can't open file '%s' for reading\n", shown(path).constData());
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        diagErr("Can't read file '%s': not a regular file\n", shown(path).constData());
        return false;
    }
    if (info.st_size > MaxXmlFileBytes) {
        ::close(fd);
        diagErr("Can't read file '%s': %lld bytes, more than %lld\n", shown(path).constData(),
                static_cast<long long>(info.st_size), static_cast<long long>(MaxXmlFileBytes));
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        diagErr("Can't open file '%s' for reading\n", shown(path).constData());
        return false;
    }
    // Read to the end rather than to the size seen above, but never past the limit: the
    // file may grow meanwhile.
    bytes->clear();
    bytes->reserve(qsizetype(info.st_size));
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

bool checkXmlDocument(const QString &path, const QByteArray &bytes)
{
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > MaxXmlDepth) {
                refuse(path, reader, "elements nested deeper than " + QByteArray::number(MaxXmlDepth) + " levels");
                return false;
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::DTD: {
            const QXmlStreamEntityDeclarations entities = reader.entityDeclarations();
            for (const QXmlStreamEntityDeclaration &e : entities) {
                if (!e.systemId().isEmpty() || !e.publicId().isEmpty()) {
                    refuse(path, reader, "external entity '" + e.name().toLocal8Bit() + "' refused");
                    return false;
                }
            }
            break;
        }
        default:
            break;
        }
    }
    return true;
}
