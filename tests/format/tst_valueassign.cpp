// The rule that takes a typed text into a variable, shared by the editors and `set`.
#include "format/valueassign.h"
#include "formattestutil.h"

#include <QTemporaryDir>
#include <cstring>

namespace {

const char *const AssignFormat = R"(<Format encoding="CP1251">
  <word name="speed" min="10" max="5000" suffix="rpm"/>
  <dword name="any"/>
  <byte name="small" max="200"/>
  <word name="count"/>
  <byte name="sel" select="low|mid|high|mid"/>
  <bool name="flag" false="No" true="Yes"/>
  <byte name="gap" select="a||b"/>
  <hhmm name="t"/>
  <ip name="addr"/>
  <float name="f" format="2" min="-10" max="10" suffix="V"/>
  <float name="free"/>
  <float name="low" min="-3.4028234e38" max="5" format="0"/>
  <float name="wide" min="-3.4028234e38"/>
  <string name="s" size="8"/>
  <file name="blob" size="10"/>
  <struct name="st"><word name="a"/></struct>
</Format>)";

// The value of the variable's own kind: a number, a float, a text or file contents.
QVariant storedValue(const ConfVar &var)
{
    switch (var.kind) {
    case KindFloat:
        return QVariant(var.floatValue);
    case KindString:
        return QVariant(var.text);
    case KindFile:
        return QVariant(var.fileData.left(var.fileLength));
    default:
        return QVariant(int(var.value));
    }
}

bool sameStored(const QVariant &actual, const QVariant &expected)
{
    if (expected.typeId() != QMetaType::Float)
        return actual == expected;
    // Floats by their bits: the rule rounds to the variable's digits, then to single precision.
    const float a = actual.toFloat();
    const float b = expected.toFloat();
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class TestValueAssign : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void assign_data();
    void assign();
    void longString_cutWhenAsked();
    void limitTexts_data();
    void limitTexts();
    void editableText_readsBackUnchanged();

private:
    QTemporaryDir dir;
    std::unique_ptr<ConfFormat> freshFormat();
};

void TestValueAssign::initTestCase()
{
    QVERIFY(dir.isValid());
    for (const auto &[name, size] : {std::pair{"fits.bin", 8}, std::pair{"over.bin", 9}, std::pair{"empty.bin", 0}}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(QByteArray(size, 'x')), qint64(size));
    }
}

// Every variable holds a known value that a refusal must leave as it is.
std::unique_ptr<ConfFormat> TestValueAssign::freshFormat()
{
    std::unique_ptr<ConfFormat> format = formatFromXml(QString::fromLatin1(AssignFormat));
    if (!format)
        return format;
    format->varByName(QStringLiteral("speed"))->value = 100;
    format->varByName(QStringLiteral("sel"))->value = 1;
    format->varByName(QStringLiteral("t"))->value = 100;
    format->varByName(QStringLiteral("addr"))->value = 0x0100A8C0; // 192.168.0.1
    format->varByName(QStringLiteral("f"))->floatValue = -0.5f;
    format->varByName(QStringLiteral("s"))->text = QStringLiteral("old");
    format->varByName(QStringLiteral("blob"))->fileData = QByteArray("old");
    format->varByName(QStringLiteral("blob"))->fileLength = 3;
    return format;
}

void TestValueAssign::assign_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text"); // "$DIR" is the folder of the test files
    QTest::addColumn<QString>("reason"); // empty when accepted
    QTest::addColumn<QVariant>("stored");

    const QString range = QStringLiteral("Out of range: 10 to 5000 rpm.");
    QTest::newRow("integer_inRange") << "speed" << "42" << "" << QVariant(42);
    QTest::newRow("integer_bothBoundsIncluded") << "speed" << "5000" << "" << QVariant(5000);
    QTest::newRow("integer_belowRange_namesRangeAndUnit") << "speed" << "9" << range << QVariant(100);
    QTest::newRow("integer_aboveRange") << "speed" << "5001" << range << QVariant(100);
    QTest::newRow("integer_past32Bits_outOfRange")
        << "any" << "2147483648" << "Out of range: -2147483648 to 2147483647." << QVariant(0);
    QTest::newRow("integer_negative") << "any" << "-7" << "" << QVariant(-7);
    // What the slot gives back bounds a range the description draws wider.
    QTest::newRow("integer_byteIsSigned") << "small" << "128" << "Out of range: -128 to 127." << QVariant(0);
    QTest::newRow("integer_byteLowest") << "small" << "-128" << "" << QVariant(-128);
    QTest::newRow("integer_wordIsUnsigned") << "count" << "-1" << "Out of range: 0 to 65535." << QVariant(0);
    QTest::newRow("integer_wordHighest") << "count" << "65535" << "" << QVariant(65535);
    QTest::newRow("integer_hex_refused") << "speed" << "0x20" << "Not a whole number." << QVariant(100);
    QTest::newRow("integer_empty_refused") << "speed" << "" << "Not a whole number." << QVariant(100);

    QTest::newRow("select_itemText") << "sel" << "high" << "" << QVariant(2);
    QTest::newRow("select_repeatedText_firstWins") << "sel" << "mid" << "" << QVariant(1);
    QTest::newRow("select_index_refused") << "sel" << "2" << "Not one of its items." << QVariant(1);
    QTest::newRow("select_otherCase_refused") << "sel" << "High" << "Not one of its items." << QVariant(1);
    QTest::newRow("select_emptyItem_refused") << "gap" << "" << "Not one of its items." << QVariant(0);
    QTest::newRow("bool_trueText") << "flag" << "Yes" << "" << QVariant(1);

    const QString badTime = QStringLiteral("Incorrect format for time.");
    QTest::newRow("time_singleDigits") << "t" << "9:5" << "" << QVariant(545);
    QTest::newRow("time_secondsIgnored") << "t" << "10:05:33" << "" << QVariant(605);
    QTest::newRow("time_24_refused") << "t" << "24:00" << badTime << QVariant(100);
    const QString badIp = QStringLiteral("Incorrect format for IP address.");
    QTest::newRow("ip_fifthPieceIgnored") << "addr" << "10.0.0.1.7" << "" << QVariant(0x0100000A);
    QTest::newRow("ip_256_refused") << "addr" << "10.0.0.256" << badIp << QVariant(0x0100A8C0);

    const QString floatRange = QStringLiteral("Out of range: -10.00 to 10.00 V.");
    QTest::newRow("float_point") << "f" << "-3.25" << "" << QVariant(-3.25f);
    QTest::newRow("float_comma") << "f" << "7,5" << "" << QVariant(7.5f);
    QTest::newRow("float_blanksAround") << "f" << " 4 " << "" << QVariant(4.0f);
    QTest::newRow("float_roundedToDigits") << "f" << "1.237" << "" << QVariant(1.24f);
    QTest::newRow("float_roundedToZero_hasNoSign") << "f" << "-0.001" << "" << QVariant(0.0f);
    QTest::newRow("float_bound") << "f" << "-10" << "" << QVariant(-10.0f);
    QTest::newRow("float_aboveRange_namesRangeWithDigits") << "f" << "10.01" << floatRange << QVariant(-0.5f);
    // Rounded to its digits it is the bound itself.
    QTest::newRow("float_roundsOntoBound") << "f" << "10.004" << "" << QVariant(10.0f);
    QTest::newRow("float_exponent_refused") << "f" << "1e1" << "Not a number." << QVariant(-0.5f);
    QTest::newRow("float_nan_refused") << "f" << "nan" << "Not a number." << QVariant(-0.5f);
    // Without "min" the bound is the smallest positive float, which shows and holds as 0.0.
    QTest::newRow("float_noMin_zeroAccepted") << "free" << "0" << "" << QVariant(0.0f);
    QTest::newRow("float_noMin_negativeRefused")
        << "free" << "-0.1" << "Out of range: 0.0 or more." << QVariant(0.0f);

    QTest::newRow("string_fits") << "s" << "abcdefg" << "" << QVariant(QStringLiteral("abcdefg"));
    QTest::newRow("string_empty") << "s" << "" << "" << QVariant(QString());
    QTest::newRow("string_tooLong_refused")
        << "s" << "abcdefgh" << "Too long: at most 7 characters." << QVariant(QStringLiteral("old"));
    QTest::newRow("string_cyrillicStorable") << "s" << QString::fromUtf8("привет") << ""
                                             << QVariant(QString::fromUtf8("привет"));
    QTest::newRow("string_notInEncoding_refused")
        << "s" << QString::fromUtf8("aΩ✓bΩ")
        << QString::fromUtf8("These characters cannot be stored on the device (CP1251): Ω✓")
        << QVariant(QStringLiteral("old"));

    // The slot of size 10 holds a 2-byte length and 8 content bytes.
    QTest::newRow("file_fits") << "blob" << "@$DIR/fits.bin" << "" << QVariant(QByteArray(8, 'x'));
    QTest::newRow("file_empty") << "blob" << "@$DIR/empty.bin" << "" << QVariant(QByteArray());
    QTest::newRow("file_oneByteOver_refused") << "blob" << "@$DIR/over.bin" << "File too large."
                                              << QVariant(QByteArray("old"));
    QTest::newRow("file_missing_refused") << "blob" << "@$DIR/none.bin" << "Can't open file."
                                          << QVariant(QByteArray("old"));
    QTest::newRow("file_folder_refused") << "blob" << "@$DIR" << "Not a regular file." << QVariant(QByteArray("old"));
    // A device reports no size and never ends; it is refused unread.
    QTest::newRow("file_device_refused") << "blob" << "@/dev/zero" << "Not a regular file."
                                         << QVariant(QByteArray("old"));
    QTest::newRow("file_withoutAt_refused") << "blob" << "$DIR/fits.bin" << "Give the file to read as @FILE."
                                            << QVariant(QByteArray("old"));

    QTest::newRow("structure_refused") << "st" << "1" << "A structure has no value of its own." << QVariant(0);
}

void TestValueAssign::assign()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    QFETCH(QVariant, stored);

    std::unique_ptr<ConfFormat> format = freshFormat();
    QVERIFY(format);
    ConfVar *var = format->varByName(name);
    QVERIFY(var);
    const QByteArray before = format->pack();
    QString why = QStringLiteral("untouched");

    const bool accepted = assignValueText(*format, *var, text.replace(QLatin1String("$DIR"), dir.path()), &why);

    QCOMPARE(accepted, reason.isEmpty());
    QCOMPARE(why, accepted ? QStringLiteral("untouched") : reason);
    QVERIFY2(sameStored(storedValue(*var), stored), qPrintable(storedValue(*var).toString()));
    if (!accepted)
        QCOMPARE(format->pack().toHex(' '), before.toHex(' '));
}

// The command line cuts what a string cannot hold, and checks only what it keeps.
void TestValueAssign::longString_cutWhenAsked()
{
    std::unique_ptr<ConfFormat> format = freshFormat();
    QVERIFY(format);
    ConfVar *s = format->varByName(QStringLiteral("s"));
    QVERIFY(assignValueText(*format, *s, QString::fromUtf8("abcdefgΩ"), nullptr, LongText::Cut));
    QCOMPARE(s->text, QStringLiteral("abcdefg"));
}

void TestValueAssign::limitTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("length");

    QTest::newRow("integer_withUnit") << "speed" << "10 to 5000 rpm" << "";
    QTest::newRow("integer_withoutUnit") << "any" << "-2147483648 to 2147483647" << "";
    QTest::newRow("select_none") << "sel" << "" << "";
    QTest::newRow("float_withDigits") << "f" << "-10.00 to 10.00 V" << "";
    // A bound left at the largest float is not spelt out in 39 digits.
    QTest::newRow("float_noMax") << "free" << "0.0 or more" << "";
    QTest::newRow("float_noLowest") << "low" << "5 or less" << "";
    QTest::newRow("float_noBounds") << "wide" << "any number" << "";
    QTest::newRow("string_sizeLessOne") << "s" << "" << "at most 7 characters";
    QTest::newRow("file_sizeLessTwo") << "blob" << "" << "at most 8 bytes";
    QTest::newRow("time_none") << "t" << "" << "";
}

void TestValueAssign::limitTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, range);
    QFETCH(QString, length);
    std::unique_ptr<ConfFormat> format = freshFormat();
    QVERIFY(format);
    const ConfVar *var = format->varByName(name);
    QCOMPARE(rangeText(*var), range);
    QCOMPARE(lengthLimitText(*var), length);
}

// An editor that opens and is accepted as it stands changes nothing.
void TestValueAssign::editableText_readsBackUnchanged()
{
    std::unique_ptr<ConfFormat> format = freshFormat();
    QVERIFY(format);
    format->varByName(QStringLiteral("f"))->floatValue = 1.25f;
    const QByteArray before = format->pack();
    for (const auto &entry : format->vars()) {
        ConfVar &v = *format->varByName(entry.first);
        if (v.kind == KindStruct || v.kind == KindFile)
            continue;
        QString why;
        QVERIFY2(assignValueText(*format, v, editableText(*format, v), &why), qPrintable(entry.first + ": " + why));
    }
    QCOMPARE(format->pack().toHex(' '), before.toHex(' '));
}

QTEST_GUILESS_MAIN(TestValueAssign)
#include "tst_valueassign.moc"
