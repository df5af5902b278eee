#include "tools/cli/clicommon.h"

#include "format/xmldoc.h"

#include <QFile>
#include <QSaveFile>

namespace cli {

bool loadDescriptionFile(const QString &path, Description *out, QString *error)
{
    bool ok = false;
    out->path = path;
    out->document = loadXmlDocumentWithBackup(path, &ok);
    if (!ok) {
        *error = QStringLiteral("cannot read the description '%1'").arg(path);
        return false;
    }
    out->root = out->document.documentElement();
    out->id = out->root.attribute(QStringLiteral("id"), QStringLiteral("noname"));
    out->formatElement = out->root.firstChildElement(QStringLiteral("Format"));
    if (out->formatElement.isNull()) {
        *error = QStringLiteral("no Format element in '%1'").arg(path);
        return false;
    }
    out->format.reset(ConfFormat::create(out->id, out->formatElement));
    if (!out->format) {
        *error = QStringLiteral("the Format element of '%1' is not usable").arg(path);
        return false;
    }
    return true;
}

bool isImagePath(const QString &path)
{
    return path.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
}

bool loadImageFile(ConfFormat *format, const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the image '%1': %2").arg(path, file.errorString());
        return false;
    }
    // Bytes past the image are ignored by unpacking, so there is no need to read them
    // (and a huge wrong file costs nothing).
    const QByteArray image = file.read(format->imageSize());
    if (file.error() != QFile::NoError) {
        *error = QStringLiteral("cannot read the image '%1': %2").arg(path, file.errorString());
        return false;
    }
    if (!format->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size()))) {
        *error = QStringLiteral("'%1' is not an image of format '%2'").arg(path, format->id);
        return false;
    }
    return true;
}

bool loadValuesFile(ConfFormat *format, const QString &path, QString *error)
{
    if (isImagePath(path))
        return loadImageFile(format, path, error);
    if (!format->loadValues(path)) {
        *error = QStringLiteral("cannot load values of format '%1' from '%2'").arg(format->id, path);
        return false;
    }
    return true;
}

bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write '%1': %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write '%1': %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool parseArgs(const QStringList &args, bool allowOutput, ParsedArgs *out, QString *error)
{
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (optionsEnded || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            out->positional << a;
        } else if (a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (allowOutput && a == QLatin1String("-o")) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("option -o needs a file name");
                return false;
            }
            if (out->hasOutput) {
                *error = QStringLiteral("option -o given twice");
                return false;
            }
            out->output = args.at(++i);
            out->hasOutput = true;
        } else {
            *error = QStringLiteral("unknown option '%1'").arg(a);
            return false;
        }
    }
    return true;
}

} // namespace cli
