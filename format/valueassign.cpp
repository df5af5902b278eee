#include "format/valueassign.h"

#include <cfloat>
#include <climits>

#include "format/confformat.h"
#include "format/valueparse.h"
#include "format/wholefile.h"

#include <QRegularExpression>

namespace {

bool refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

QString withUnit(const QString &text, const ConfVar &var)
{
    return var.suffix.isEmpty() ? text : text + QLatin1Char(' ') + var.suffix;
}

int floatDigits(const ConfVar &var)
{
    // The reader bounds the digit count; a negative one would make Qt pick its own.
    return qBound(0, var.decimals, 100);
}

// A float as the property tree shows it. Values are rounded through this text, so what is
// stored is what the tree then shows, digit for digit.
QString floatText(double value, const ConfVar &var)
{
    return QString::number(value, 'f', floatDigits(var));
}

double roundedToDigits(double value, const ConfVar &var)
{
    // Adding zero turns the -0 of "-0.001" rounded into a plain 0, which the tree shows
    // without a sign.
    return floatText(value, var).toDouble() + 0.0;
}

bool assignChoice(ConfVar &var, const QString &text, QString *reason)
{
    // An empty item cannot be chosen in the window either: its text names nothing.
    const qsizetype index = text.isEmpty() ? -1 : var.items.indexOf(text);
    if (index < 0)
        return refuse(reason, ConfFormat::tr("Not one of its items."));
    var.value = qint32(index);
    return true;
}

// What an integer may be set to: its min..max within what its slot gives back. A byte reads
// back signed and a word unsigned, so 200 in a byte would come back from the device as -56
// and 70000 in a word as 4464; such a value is refused rather than changed on the way.
struct IntegerRange {
    qint32 lowest;
    qint32 highest;
};

IntegerRange integerRange(const ConfVar &var)
{
    qint32 lowest = INT_MIN;
    qint32 highest = INT_MAX;
    if (var.size == 1) {
        lowest = -128;
        highest = 127;
    } else if (var.size == 2) {
        lowest = 0;
        highest = 65535;
    }
    return {qMax(lowest, var.min), qMin(highest, var.max)};
}

bool assignInteger(ConfVar &var, const QString &text, QString *reason)
{
    bool ok = false;
    // Read wider than the variable, so that a number past 32 bits is refused by its range
    // rather than as no number at all.
    const qlonglong number = text.toLongLong(&ok, 10);
    if (!ok)
        return refuse(reason, ConfFormat::tr("Not a whole number."));
    const IntegerRange range = integerRange(var);
    if (number < range.lowest || number > range.highest)
        return refuse(reason, ConfFormat::tr("Out of range: %1.").arg(rangeText(var)));
    var.value = qint32(number);
    return true;
}

bool assignFloat(ConfVar &var, const QString &text, QString *reason)
{
    QString typed = text.trimmed();
    // Whatever the user's locale, both separators are taken: a Russian keyboard gives ",".
    typed.replace(QLatin1Char(','), QLatin1Char('.'));
    static const QRegularExpression shape(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    if (!shape.match(typed).hasMatch())
        return refuse(reason, ConfFormat::tr("Not a number."));
    const double number = roundedToDigits(typed.toDouble(), var);
    // The bounds are held as they are shown, to the value's digits: a float without a "min"
    // has the smallest positive float as its bound, shown and so held as 0.0.
    if (!(number >= roundedToDigits(var.floatMin, var) && number <= roundedToDigits(var.floatMax, var)))
        return refuse(reason, ConfFormat::tr("Out of range: %1.").arg(rangeText(var)));
    var.floatValue = float(number);
    return true;
}

bool assignString(const ConfFormat &format, ConfVar &var, const QString &text, QString *reason,
                  LongText longText)
{
    const qsizetype room = qMax(var.size - 1, 0);
    if (text.size() > room && longText == LongText::Refuse)
        return refuse(reason, ConfFormat::tr("Too long: %1.").arg(lengthLimitText(var)));
    // Only what is kept has to be stored.
    const QString kept = text.left(room);
    const QString unstorable = format.unstorableCharacters(kept);
    if (!unstorable.isEmpty()) {
        return refuse(reason, ConfFormat::tr("These characters cannot be stored on the device (%1): %2")
                                  .arg(format.encoding(), unstorable));
    }
    var.text = kept;
    return true;
}

} // namespace

bool assignValueText(const ConfFormat &format, ConfVar &var, const QString &text, QString *reason,
                     LongText longText)
{
    switch (var.kind) {
    case KindInt:
        return var.items.isEmpty() ? assignInteger(var, text, reason) : assignChoice(var, text, reason);
    case KindTime: {
        qint32 minutes = 0;
        if (!parseTimeText(text, &minutes))
            return refuse(reason, ConfFormat::tr("Incorrect format for time."));
        var.value = minutes;
        return true;
    }
    case KindIp: {
        qint32 address = 0;
        if (!parseIpText(text, &address))
            return refuse(reason, ConfFormat::tr("Incorrect format for IP address."));
        var.value = address;
        return true;
    }
    case KindFloat:
        return assignFloat(var, text, reason);
    case KindString:
        return assignString(format, var, text, reason, longText);
    case KindFile:
        // A file's contents are bytes, which a line of text cannot carry; the text names the
        // file they come from.
        if (!text.startsWith(QLatin1Char('@')))
            return refuse(reason, ConfFormat::tr("Give the file to read as @FILE."));
        return assignFileContents(var, text.mid(1), reason);
    case KindStruct:
        break;
    }
    return refuse(reason, ConfFormat::tr("A structure has no value of its own."));
}

QString editableText(const ConfFormat &format, const ConfVar &var)
{
    switch (var.kind) {
    case KindInt:
        return var.items.isEmpty() ? QString::number(var.value) : format.varText(&var);
    case KindFloat:
        return floatText(var.floatValue, var);
    case KindTime:
    case KindIp:
    case KindString:
        return format.varText(&var);
    case KindFile:
    case KindStruct:
        break;
    }
    return QString();
}

// The slot holds a 2-byte length and at most size - 2 content bytes.
bool assignFileContents(ConfVar &var, const QString &path, QString *reason)
{
    QFile file;
    qint64 size = 0;
    QString systemError;
    switch (openRegularFile(path, &file, &size, &systemError)) {
    case InputRefusal::None:
        break;
    case InputRefusal::CannotOpen:
        return refuse(reason, ConfFormat::tr("Can't open file."));
    case InputRefusal::Directory:
    case InputRefusal::NotRegular:
        return refuse(reason, ConfFormat::tr("Not a regular file."));
    }
    const qint64 limit = qMax<qint64>(qint64(var.size) - 2, 0);
    if (size > limit)
        return refuse(reason, ConfFormat::tr("File too large."));
    // One byte more than fits: a file that grew since its size was taken must not be cut
    // silently.
    const QByteArray data = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        return refuse(reason, ConfFormat::tr("Can't open file."));
    if (data.size() > limit)
        return refuse(reason, ConfFormat::tr("File too large."));
    var.fileData = data;
    var.fileLength = qint32(data.size());
    return true;
}

QString rangeText(const ConfVar &var)
{
    if (var.kind == KindInt && var.items.isEmpty()) {
        const IntegerRange range = integerRange(var);
        return withUnit(ConfFormat::tr("%1 to %2").arg(range.lowest).arg(range.highest), var);
    }
    if (var.kind == KindFloat) {
        // A bound left at the largest float is no bound a user wants to read as 39 digits.
        const bool noLowest = var.floatMin <= -FLT_MAX;
        const bool noHighest = var.floatMax >= FLT_MAX;
        if (noLowest && noHighest)
            return withUnit(ConfFormat::tr("any number"), var);
        if (noHighest)
            return withUnit(ConfFormat::tr("%1 or more").arg(floatText(var.floatMin, var)), var);
        if (noLowest)
            return withUnit(ConfFormat::tr("%1 or less").arg(floatText(var.floatMax, var)), var);
        return withUnit(ConfFormat::tr("%1 to %2").arg(floatText(var.floatMin, var), floatText(var.floatMax, var)),
                        var);
    }
    return QString();
}

QString lengthLimitText(const ConfVar &var)
{
    if (var.kind == KindString)
        return ConfFormat::tr("at most %1 characters").arg(qMax(var.size - 1, 0));
    if (var.kind == KindFile)
        return ConfFormat::tr("at most %1 bytes").arg(qMax(var.size - 2, 0));
    return QString();
}
