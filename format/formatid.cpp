#include "format/formatid.h"

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
