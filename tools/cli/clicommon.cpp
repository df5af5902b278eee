#include "tools/cli/clicommon.h"
#include "tools/cli/cli.h"

#include "device/device.h"

#include "download/formatfetch.h"
#include "format/formatid.h"
#include "format/wholefile.h"
#include "format/xmldoc.h"
#include "tree/descriptionfile.h"
#include "tree/treeloader.h"

#include <QDomDocument>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>

namespace cli {

namespace {

// The one line that follows the system's diagnostic line of a refused description.
QString describeFailure(DescriptionError error, const QString &path, const QString &id, const QString &expectedId)
{
    switch (error) {
    case DescriptionError::None:
        break;
    case DescriptionError::Xml:
        return QStringLiteral("cannot read the description '%1'").arg(path);
    case DescriptionError::BadId:
        return QStringLiteral("'%1' describes '%2', not '%3'").arg(path, id, expectedId);
    case DescriptionError::DuplicateFormat:
        return QStringLiteral("more than one Format element in '%1'").arg(path);
    case DescriptionError::FormatRejected:
        return QStringLiteral("the Format element of '%1' is not usable").arg(path);
    case DescriptionError::DuplicateTree:
        return QStringLiteral("more than one Tree element in '%1'").arg(path);
    case DescriptionError::TreeBeforeFormat:
        return QStringLiteral("the Tree element comes before the Format element in '%1'").arg(path);
    case DescriptionError::TreeRejected:
        return QStringLiteral("the Tree element of '%1' is not usable").arg(path);
    case DescriptionError::NoFormat:
        return QStringLiteral("no Format element in '%1'").arg(path);
    case DescriptionError::NoTree:
        return QStringLiteral("no Tree element after the Format element in '%1'").arg(path);
    }
    return QString();
}

} // namespace

bool loadDescriptionFile(const QString &path, Description *out, QString *error, const QString &expectedId)
{
    // Macros live as long as the loader; a command reads one description, so its own
    // table starts empty.
    TreeLoader loader;
    ::Description description;
    const DescriptionError result = readDescriptionFile(path, expectedId, loader, &description);
    out->path = path;
    out->id = description.id;
    out->format = std::move(description.format);
    out->top = std::move(description.top);
    if (result == DescriptionError::None)
        return true;
    *error = describeFailure(result, path, description.id, expectedId);
    return false;
}

bool fetchDescription(const QString &id, const QString &server, QString *error)
{
    FormatFetch fetch(id);
    if (!server.isEmpty() && !fetch.setServer(server)) {
        *error = QStringLiteral("bad server '%1' (want HOST or HOST:PORT)").arg(server);
        return false;
    }
    if (!fetch.start()) {
        *error = QStringLiteral("description not fetched: %1").arg(fetch.errorText());
        return false;
    }
    QEventLoop loop;
    bool stored = false;
    QObject::connect(&fetch, &FormatFetch::finished, &loop, [&](bool ok) {
        stored = ok;
        loop.quit();
    });
    loop.exec();
    if (!stored)
        *error = QStringLiteral("description not fetched: %1").arg(fetch.errorText());
    return stored;
}

bool loadDescriptionById(const QString &id, Description *out, QString *error)
{
    const QString path = descriptionPath(id);
    QString fetchError;
    const bool loaded = ::loadDescriptionById(
        id, [&] { return loadDescriptionFile(path, out, error, id); },
        [&] { return fetchDescription(id, QString(), &fetchError); });
    if (loaded)
        return true;
    if (!isSafeFormatId(id))
        *error = QStringLiteral("unusable format id '%1'").arg(id);
    else if (!fetchError.isEmpty())
        *error = QStringLiteral("%1; %2").arg(*error, fetchError);
    return false;
}

bool isImagePath(const QString &path)
{
    return path.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
}

bool loadImageFile(ConfFormat *format, const QString &path, QString *error, QByteArray *bytes)
{
    // Bytes past the image are ignored by unpacking, so there is no need to read them
    // (and a huge wrong file costs nothing).
    QByteArray image;
    QString reason;
    if (!readFileStart(path, format->imageSize(), &image, &reason)) {
        *error = QStringLiteral("cannot read the image '%1': %2").arg(path, reason);
        return false;
    }
    if (!format->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size()))) {
        *error = QStringLiteral("'%1' is not an image of format '%2'").arg(path, format->id());
        return false;
    }
    if (bytes)
        *bytes = image;
    return true;
}

bool loadValuesFile(ConfFormat *format, const QString &path, QString *error)
{
    if (isImagePath(path))
        return loadImageFile(format, path, error);
    if (!format->loadValues(path)) {
        *error = QStringLiteral("cannot load values of format '%1' from '%2'").arg(format->id(), path);
        return false;
    }
    return true;
}

void printDifferences(const QList<ValueDifference> &differences)
{
    QTextStream out(stdout);
    for (const ValueDifference &d : differences)
        out << d.name << '\t' << d.first << '\t' << d.second << '\n';
}

bool isStandardOutput(const QString &path)
{
    return path == QLatin1String("-");
}

bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (isStandardOutput(path)) {
        QFile out;
        if (out.open(stdout, QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.flush())
            return true;
        *error = QStringLiteral("cannot write to standard output: %1").arg(out.errorString());
        return false;
    }
    // Devices and FIFOs are written into rather than replaced (see writeWholeFile).
    if (writeWholeFile(path, bytes, &reason))
        return true;
    *error = QStringLiteral("cannot write '%1': %2").arg(path, reason);
    return false;
}

std::unique_ptr<ConfFormat> loadValueFileForDevice(const QString &path, int *status)
{
    bool ok = false;
    const QDomDocument values = loadXmlDocument(path, &ok);
    if (!ok) {
        fail(QStringLiteral("cannot read the value file %1").arg(path));
        *status = FileError;
        return nullptr;
    }
    const QString id = values.documentElement().attribute(QStringLiteral("id"), QStringLiteral("noname"));
    Description description;
    QString error;
    if (!loadDescriptionById(id, &description, &error)) {
        fail(error);
        *status = ExitNoDescription;
        return nullptr;
    }
    if (!description.format->loadValues(path)) {
        fail(QStringLiteral("the value file %1 does not load").arg(path));
        *status = FileError;
        return nullptr;
    }
    return std::move(description.format);
}

} // namespace cli
