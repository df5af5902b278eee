#include "format/valueparse.h"

namespace {

bool readNumber(const QString &piece, int lowest, int highest, int *number)
{
    bool ok = false;
    const int n = piece.toInt(&ok, 10);
    if (!ok || n < lowest || n > highest)
        return false;
    *number = n;
    return true;
}

} // namespace

bool parseTimeText(const QString &text, qint32 *minutes)
{
    int hours = 0;
    int mins = 0;
    // A text without ":" has no minutes part: section() then gives the empty string,
    // which is not a number.
    if (!readNumber(text.section(QLatin1Char(':'), 0, 0), 0, 23, &hours)
        || !readNumber(text.section(QLatin1Char(':'), 1, 1), 0, 59, &mins))
        return false;
    *minutes = hours * 60 + mins;
    return true;
}

bool parseIpText(const QString &text, qint32 *address)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        int byte = 0;
        if (!readNumber(text.section(QLatin1Char('.'), i, i), 0, 255, &byte))
            return false;
        value |= quint32(byte) << (8 * i);
    }
    *address = qint32(value);
    return true;
}
