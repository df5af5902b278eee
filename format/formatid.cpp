#include "format/formatid.h"

namespace {
QString (*folderLookup)() = nullptr;
}

void setDescriptionFolderLookup(QString (*lookup)())
{
    folderLookup = lookup;
}

QString descriptionPath(const QString &id)
{
    if (!folderLookup)
        return QLatin1String("confxml/") + id + QLatin1String(".xml");
    static const QString folder = folderLookup();
    return folder + QLatin1Char('/') + id + QLatin1String(".xml");
}

bool isSafeFormatId(const QString &id)
{
    if (id.isEmpty() || id.contains(QLatin1String("..")))
        return false;
    for (const QChar c : id) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QByteArray printableForDiagnostics(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        const uchar u = uchar(c);
        if (u < 0x20 || u == 0x7F)
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}
