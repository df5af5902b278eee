#include "formattestutil.h"

#include <QTranslator>

class TestValueText : public QObject
{
    Q_OBJECT
private slots:
    void text_data();
    void text();
    void text_byIdSkipsStructures();
    void text_unknownIdIsEmpty();
    void fileText_followsInstalledTranslation();
};

void TestValueText::text_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("byte with suffix") << "<byte name='v' suffix='ms'/>" << 5 << "5 ms";
    QTest::newRow("byte without suffix keeps the blank") << "<byte name='v'/>" << 5 << "5 ";
    QTest::newRow("negative dword") << "<dword name='v' suffix='mA'/>" << -7 << "-7 mA";
    QTest::newRow("most negative dword") << "<dword name='v'/>" << INT_MIN << "-2147483648 ";
    QTest::newRow("bool on by default") << "<bool name='v'/>" << 1 << "on";
    QTest::newRow("bool off by default") << "<bool name='v'/>" << 0 << "off";
    QTest::newRow("bool own text") << "<bool name='v' true='Enabled'/>" << 1 << "Enabled";
    QTest::newRow("bool holding 2") << "<bool name='v'/>" << 2 << "???";
    QTest::newRow("select item") << "<word name='v' select='a|b|c'/>" << 2 << "c";
    QTest::newRow("select -1") << "<word name='v' select='a|b|c'/>" << -1 << "???";
    QTest::newRow("select past the end") << "<word name='v' select='a|b|c'/>" << 3 << "???";
    QTest::newRow("select ignores suffix") << "<word name='v' select='a|b' suffix='x'/>" << 1 << "b";
    QTest::newRow("empty select item") << "<byte name='v' select=''/>" << 0 << "";
    QTest::newRow("hhmm 605") << "<hhmm name='v'/>" << 605 << "10:05";
    QTest::newRow("hhmm 0") << "<hhmm name='v'/>" << 0 << "00:00";
    QTest::newRow("hhmm 1500") << "<hhmm name='v'/>" << 1500 << "25:00";
    QTest::newRow("hhmm 65535") << "<hhmm name='v'/>" << 65535 << "1092:15";
    QTest::newRow("hhmm negative truncates toward zero") << "<hhmm name='v'/>" << -61 << "-1:-1";
    QTest::newRow("ip 192.168.0.1") << "<ip name='v'/>" << 16820416 << "192.168.0.1";
    QTest::newRow("ip bytes unsigned") << "<ip name='v'/>" << -939524086 << "10.0.0.200";
    QTest::newRow("ip all ones") << "<ip name='v'/>" << -1 << "255.255.255.255";
    QTest::newRow("struct is empty") << "<struct name='v'><byte name='m'/></struct>" << 0 << "";
}

void TestValueText::text()
{
    QFETCH(QString, element);
    QFETCH(int, value);
    auto f = formatFromXml("<Format>" + element + "</Format>");
    QVERIFY(f);
    ConfVar *v = varNamed(f.get(), "v");
    v->value = value;
    QTEST(f->varText(v), "expected");
}

void TestValueText::text_byIdSkipsStructures()
{
    auto f = formatFromXml("<Format><pad size='2'/><struct name='s'><float name='f' format='2' suffix='V'/>"
                           "<string name='t' size='9'/><file name='b' size='9'/></struct>"
                           "<float name='g' format='0' suffix='V'/><float name='h'/></Format>");
    QVERIFY(f);
    varNamed(f.get(), "s.f")->floatValue = 3.14159f;
    varNamed(f.get(), "g")->floatValue = 3.14159f;
    varNamed(f.get(), "h")->floatValue = -0.05f;
    varNamed(f.get(), "s.t")->text = QStringLiteral("пример");
    varNamed(f.get(), "s.b")->fileLength = 1234;
    // id 2 is both the structure s and its first member s.f: the member answers.
    QCOMPARE(f->text(2), QStringLiteral("3.14 V"));
    QCOMPARE(f->text(6), QStringLiteral("пример"));
    QCOMPARE(f->text(15), QStringLiteral("1234 bytes"));
    QCOMPARE(f->text(24), QStringLiteral("3 V"));
    QCOMPARE(f->text(28), QStringLiteral("-0.1 ")); // 1 decimal by default, rounded
    varNamed(f.get(), "s.b")->fileLength = 0;
    QCOMPARE(f->text(15), QStringLiteral("0 bytes"));

    // An absurd digit count is bounded when read: the text stays short and Qt's
    // number formatting is never asked for billions of digits.
    auto huge = formatFromXml("<Format><float name='f' format='2147483647'/></Format>");
    QVERIFY(huge);
    varNamed(huge.get(), "f")->floatValue = 3.5f;
    QCOMPARE(huge->text(0), QStringLiteral("3.5") + QString(99, QLatin1Char('0')) + QLatin1Char(' '));
}

void TestValueText::text_unknownIdIsEmpty()
{
    auto f = formatFromXml("<Format><byte name='a'/><struct name='e'/></Format>");
    QVERIFY(f);
    // Offset 1 holds only the empty structure e, which lookups by id skip.
    QCOMPARE(f->text(1), QString());
    QCOMPARE(f->text(-1), QString());
    QCOMPARE(f->varText(nullptr), QString());
}

namespace {
class BytesTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "ConfFormat") == 0 && qstrcmp(source, "%1 bytes") == 0)
            return QStringLiteral("%1 байт");
        return QString();
    }
    bool isEmpty() const override { return false; }
};
} // namespace

void TestValueText::fileText_followsInstalledTranslation()
{
    auto f = formatFromXml("<Format><file name='b' size='9'/></Format>");
    QVERIFY(f);
    varNamed(f.get(), "b")->fileLength = 7;
    BytesTranslator translator;
    QCoreApplication::installTranslator(&translator);
    const QString text = f->text(0);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(text, QStringLiteral("7 байт"));
}

QTEST_GUILESS_MAIN(TestValueText)
#include "tst_valuetext.moc"
