// The text of each value as the property tree shows it.
#include "format/confformat.h"

QString ConfFormat::text(int id) const
{
    return varText(varById(id));
}

QString ConfFormat::varText(const ConfVar *var) const
{
    if (!var)
        return QString();
    switch (var->kind) {
    case KindInt:
        if (var->items.isEmpty())
            return QString::number(var->value) + QLatin1Char(' ') + var->suffix;
        if (var->value >= 0 && var->value < var->items.size())
            return var->items.at(var->value);
        return QStringLiteral("???");
    case KindTime:
        return QString::asprintf("%02d:%02d", var->value / 60, var->value % 60);
    case KindIp: {
        const quint32 v = quint32(var->value);
        return QString::asprintf("%u.%u.%u.%u", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, v >> 24);
    }
    case KindFloat:
        // The reader bounds the digit count; a negative one would make Qt pick its own.
        return QString::number(double(var->floatValue), 'f', qBound(0, var->decimals, 100)) + QLatin1Char(' ')
            + var->suffix;
    case KindString:
        return var->text;
    case KindStruct:
        return QString();
    case KindFile:
        return tr("%1 bytes").arg(var->fileLength);
    }
    return QString();
}
