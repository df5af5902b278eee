#include "formattestutil.h"

#include "format/valuediff.h"

#include <QFile>
#include <QTemporaryDir>
#include <limits>

class TestValueFile : public QObject
{
    Q_OBJECT
private slots:
    void save_exactText();
    void save_valueTexts_data();
    void save_valueTexts();
    void saveLoad_restoresEveryValue();
    void unpackSavePack_floatBitsKept_data();
    void unpackSavePack_floatBitsKept();
    void unpackSavePack_floatSweep_bytesKept();
    void load_sixDigitTexts_readAsBefore_data();
    void load_sixDigitTexts_readAsBefore();
    void load_values_data();
    void load_values();
    void load_unstorableString_keptWithDiagnostic();
    void load_outOfRange_loadsWithDiagnostic();
    void load_refused_data();
    void load_refused();
    void load_fallsBackToBackup();
    void load_laterDuplicateWins();
    void save_unwritablePath_fails();
    void save_controlCharacters_fileStaysReadable();
    void differences_data();
    void differences();
};

static const char *const AllKinds =
    "<Format><bool name='a'/><byte name='b'/><word name='c' select='x|y|z'/><dword name='d'/>"
    "<hhmm name='e'/><ip name='f'/><float name='g'/><string name='h' size='5'/>"
    "<file name='i' size='10'/><pad size='3'/>"
    "<struct name='s[2]'><byte name='m'/></struct><byte name='x[11]'/></Format>";

static bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

static QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void TestValueFile::save_exactText()
{
    auto f = formatFromXml("<Format><struct name='p'><byte name='b'/><string name='s' size='20'/></struct>"
                           "<byte name='x[3]'/><ip name='ip'/></Format>",
                           "DEV-1");
    QVERIFY(f);
    varNamed(f.get(), "p.b")->value = -3;
    varNamed(f.get(), "p.s")->text = QStringLiteral("a<b & \"c\" ж");
    varNamed(f.get(), "ip")->value = -939524086;
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(f->saveValues(path));
    QCOMPARE(readFile(path), QByteArray("<!DOCTYPE Configuration>\n"
                                        "<Configuration id=\"DEV-1\">\n"
                                        "<Var name=\"ip\" value=\"-939524086\"/>\n"
                                        "<Var name=\"p.b\" value=\"-3\"/>\n"
                                        "<Var name=\"p.s\" value=\"a&lt;b &amp; &quot;c&quot; \xd0\xb6\"/>\n"
                                        "<Var name=\"x[0]\" value=\"0\"/>\n"
                                        "<Var name=\"x[1]\" value=\"0\"/>\n"
                                        "<Var name=\"x[2]\" value=\"0\"/>\n"
                                        "</Configuration>\n"));
}

void TestValueFile::save_valueTexts_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("select stores index") << "<byte name='v' select='a|b'/>" << QVariant(1) << "1";
    QTest::newRow("hhmm minutes") << "<hhmm name='v'/>" << QVariant(605) << "605";
    QTest::newRow("ip 192.168.0.1") << "<ip name='v'/>" << QVariant(16820416) << "16820416";
    QTest::newRow("float pi: every digit the float holds") << "<float name='v'/>" << QVariant(3.14159265f)
                                                           << "3.1415927";
    QTest::newRow("float typed 3.14159 stays so") << "<float name='v'/>" << QVariant(3.14159f) << "3.14159";
    QTest::newRow("float seven digits kept") << "<float name='v'/>" << QVariant(1234567.0f) << "1234567";
    QTest::newRow("float 0.1 not its binary expansion") << "<float name='v'/>" << QVariant(0.1f) << "0.1";
    QTest::newRow("float small exponent") << "<float name='v'/>" << QVariant(0.00001f) << "1e-05";
    QTest::newRow("float large exponent") << "<float name='v'/>" << QVariant(1e20f) << "1e+20";
    QTest::newRow("float negative zero keeps its sign") << "<float name='v'/>" << QVariant(-0.0f) << "-0";
    QTest::newRow("float largest: exact, as the reader refuses 3.4028235e+38")
        << "<float name='v'/>" << QVariant(std::numeric_limits<float>::max()) << "3.4028234663852886e+38";
    QTest::newRow("float trailing zeros dropped") << "<float name='v'/>" << QVariant(2.5f) << "2.5";
    QTest::newRow("float negative") << "<float name='v'/>" << QVariant(-100.0f) << "-100";
    QTest::newRow("file base64") << "<file name='v' size='10'/>" << QVariant(QByteArray("\x00\xff\x10z", 4))
                                 << "AP8Qeg==";
    QTest::newRow("file empty") << "<file name='v' size='10'/>" << QVariant(QByteArray()) << "";
}

void TestValueFile::save_valueTexts()
{
    QFETCH(QString, element);
    QFETCH(QVariant, value);
    auto f = formatFromXml("<Format>" + element + "</Format>");
    QVERIFY(f);
    ConfVar *v = varNamed(f.get(), "v");
    if (v->kind == KindFloat) {
        v->floatValue = value.toFloat();
    } else if (v->kind == KindFile) {
        v->fileData = value.toByteArray();
        v->fileLength = int(v->fileData.size());
    } else {
        v->value = value.toInt();
    }
    QTemporaryDir dir;
    QVERIFY(f->saveValues(dir.filePath("v.xml")));
    QFETCH(QString, text);
    QCOMPARE(readFile(dir.filePath("v.xml")), "<!DOCTYPE Configuration>\n<Configuration id=\"test\">\n"
                                                  "<Var name=\"v\" value=\"" + text.toUtf8() + "\"/>\n"
                                                  "</Configuration>\n");
}

void TestValueFile::saveLoad_restoresEveryValue()
{
    auto f = formatFromXml(AllKinds);
    auto g = formatFromXml(AllKinds);
    QVERIFY(f && g);
    varNamed(f.get(), "a")->value = 1;
    varNamed(f.get(), "b")->value = -128;
    varNamed(f.get(), "c")->value = 2;
    varNamed(f.get(), "d")->value = INT_MIN;
    varNamed(f.get(), "e")->value = 1439;
    varNamed(f.get(), "f")->value = -939524086;
    varNamed(f.get(), "g")->floatValue = 1234567.0f;
    varNamed(f.get(), "h")->text = QStringLiteral("a\tж\n");
    varNamed(f.get(), "i")->fileData = QByteArray("\x00\x01\xfe\xff", 4);
    varNamed(f.get(), "i")->fileLength = 4;
    varNamed(f.get(), "s[1].m")->value = 9;
    varNamed(f.get(), "x[10]")->value = 10;
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(f->saveValues(path));
    DiagCapture diag;
    QVERIFY(g->loadValues(path));
    QCOMPARE(diag.err, QByteArray());
    QCOMPARE(varNamed(g.get(), "g")->floatValue, 1234567.0f);
    QCOMPARE(g->pack(), f->pack());
    QCOMPARE(varNamed(g.get(), "h")->text, QStringLiteral("a\tж\n"));
}

static QByteArray floatImage(const QList<quint32> &bits)
{
    QByteArray data;
    for (const quint32 b : bits) {
        for (int i = 0; i < 4; ++i)
            data.append(char(b >> (8 * i)));
    }
    return imageOf(data);
}

// Unpacks the image, writes the values to a file, reads them into a fresh format and
// packs that: what a user does with "unpack" followed by "pack".
static QByteArray throughValueFile(const QString &formatXml, const QByteArray &image, const QString &path)
{
    auto f = formatFromXml(formatXml);
    auto g = formatFromXml(formatXml);
    if (!f || !g || !f->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size()))
        || !f->saveValues(path) || !g->loadValues(path))
        return QByteArray("<failed>");
    return g->pack();
}

void TestValueFile::unpackSavePack_floatBitsKept_data()
{
    QTest::addColumn<quint32>("bits");
    QTest::newRow("zero") << 0x00000000u;
    QTest::newRow("negative zero") << 0x80000000u;
    QTest::newRow("smallest denormal") << 0x00000001u;
    QTest::newRow("largest denormal") << 0x007FFFFFu;
    QTest::newRow("negative denormal") << 0x80000123u;
    QTest::newRow("smallest normal") << 0x00800000u;
    QTest::newRow("largest") << 0x7F7FFFFFu;
    QTest::newRow("most negative") << 0xFF7FFFFFu;
    QTest::newRow("one below largest") << 0x7F7FFFFEu;
    QTest::newRow("infinity") << 0x7F800000u;
    QTest::newRow("negative infinity") << 0xFF800000u;
    QTest::newRow("quiet NaN") << 0x7FC00000u;
    QTest::newRow("1234567") << 0x4996B438u;
    QTest::newRow("0.1") << 0x3DCCCCCDu;
    QTest::newRow("16777215, last odd integer") << 0x4B7FFFFFu;
    QTest::newRow("needs nine digits: 1 + 2^-23") << 0x3F800001u;
}

void TestValueFile::unpackSavePack_floatBitsKept()
{
    QFETCH(quint32, bits);
    const QByteArray image = floatImage({bits});
    QTemporaryDir dir;
    DiagCapture diag;
    QCOMPARE(throughValueFile("<Format><float name='v'/></Format>", image, dir.filePath("v.xml")).toHex(' '),
             image.toHex(' '));
    QCOMPARE(diag.err, QByteArray());
}

void TestValueFile::unpackSavePack_floatSweep_bytesKept()
{
    // Bit patterns spread over the whole range, every sign and exponent among them;
    // NaNs other than the quiet one have no text the reader turns back into them.
    const quint32 stride = 131071; // a prime, so the low bits vary too
    QList<quint32> bits;
    for (quint64 b = 7; b <= 0xFFFFFFFFu; b += stride) {
        const quint32 v = quint32(b);
        if ((v & 0x7F800000u) == 0x7F800000u && (v & 0x007FFFFFu) != 0)
            continue;
        bits.append(v);
    }
    QTemporaryDir dir;
    // 4000 floats per image; an array holds at most 100 elements.
    constexpr int PerImage = 4000;
    const QString formatXml = QStringLiteral("<Format><struct name='s[100]'><float name='v[40]'/></struct></Format>");
    for (qsizetype at = 0; at < bits.size(); at += PerImage) {
        QList<quint32> chunk = bits.mid(at, PerImage);
        while (chunk.size() < PerImage)
            chunk.append(0);
        const QByteArray image = floatImage(chunk);
        const QByteArray back = throughValueFile(formatXml, image, dir.filePath("v.xml"));
        if (back != image) {
            for (int i = 0; i < PerImage && back.size() == image.size(); ++i) {
                if (back.mid(2 + 4 * i, 4) != image.mid(2 + 4 * i, 4))
                    QFAIL(qPrintable(QStringLiteral("bits %1 came back as %2")
                                         .arg(QString::fromLatin1(image.mid(2 + 4 * i, 4).toHex()),
                                              QString::fromLatin1(back.mid(2 + 4 * i, 4).toHex()))));
            }
            QFAIL("the value file did not load");
        }
    }
}

void TestValueFile::load_sixDigitTexts_readAsBefore_data()
{
    // Files written before held six significant digits; they read as they always did.
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("bits");
    QTest::newRow("1.23457e+06") << "1.23457e+06" << 0x4996B450u;
    QTest::newRow("3.14159") << "3.14159" << 0x40490FD0u;
    QTest::newRow("3.40282e+38") << "3.40282e+38" << 0x7F7FFFEEu;
    QTest::newRow("1.4013e-45") << "1.4013e-45" << 0x00000001u;
    QTest::newRow("0 for negative zero") << "0" << 0x00000000u;
    QTest::newRow("nan") << "nan" << 0x7FC00000u;
    QTest::newRow("-inf") << "-inf" << 0xFF800000u;
}

void TestValueFile::load_sixDigitTexts_readAsBefore()
{
    QFETCH(QString, text);
    QFETCH(quint32, bits);
    auto f = formatFromXml("<Format><float name='v'/></Format>");
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("v.xml"), "<Configuration id='test'><Var name='v' value='" + text.toUtf8()
                                                  + "'/></Configuration>"));
    QVERIFY(f->loadValues(dir.filePath("v.xml")));
    QCOMPARE(f->pack().toHex(' '), floatImage({bits}).toHex(' '));
}

void TestValueFile::load_values_data()
{
    QTest::addColumn<QString>("vars");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // the variable's text form after loading

    QTest::newRow("no value attribute: int 0") << "<Var name='d'/>" << "d" << "0 ";
    QTest::newRow("no value attribute: string empty") << "<Var name='h'/>" << "h" << "";
    QTest::newRow("no value attribute: file empty") << "<Var name='i'/>" << "i" << "0 bytes";
    QTest::newRow("hex is not decimal: word 0x10 is 0") << "<Var name='c' value='0x10'/>" << "c" << "x";
    QTest::newRow("byte 300 loads unchecked") << "<Var name='b' value='300'/>" << "b" << "300 ";
    QTest::newRow("int out of range is 0") << "<Var name='d' value='2147483648'/>" << "d" << "0 ";
    QTest::newRow("int with blanks") << "<Var name='d' value=' -12 '/>" << "d" << "-12 ";
    QTest::newRow("bool 2 loads unchecked") << "<Var name='a' value='2'/>" << "a" << "???";
    QTest::newRow("hhmm 1500") << "<Var name='e' value='1500'/>" << "e" << "25:00";
    QTest::newRow("ip from little-endian int") << "<Var name='f' value='-939524086'/>" << "f" << "10.0.0.200";
    QTest::newRow("float") << "<Var name='g' value='-2.26'/>" << "g" << "-2.3 ";
    QTest::newRow("float not a number is 0") << "<Var name='g' value='warm'/>" << "g" << "0.0 ";
    QTest::newRow("string cut to size - 1 characters") << "<Var name='h' value='abcdefg'/>" << "h" << "abcd";
    QTest::newRow("file cut to size - 2 bytes") << "<Var name='i' value='MDEyMzQ1Njc4OWFi'/>" << "i"
                                                << "8 bytes";
    QTest::newRow("element names are case-sensitive") << "<var name='d' value='5'/>" << "d" << "77 ";
    QTest::newRow("unknown variable skipped") << "<Var name='zz' value='5'/><Var name='d' value='6'/>" << "d"
                                              << "6 ";
    QTest::newRow("structure record takes nothing") << "<Var name='s[0]' value='5'/>" << "s[0].m" << "0 ";
    QTest::newRow("array element") << "<Var name='x[10]' value='7'/>" << "x[10]" << "7 ";
    QTest::newRow("nested non-Var content ignored") << "text<!-- c --><Other name='d' value='3'/>" << "d" << "77 ";
}

void TestValueFile::load_values()
{
    QFETCH(QString, vars);
    QFETCH(QString, name);
    auto f = formatFromXml(AllKinds);
    QVERIFY(f);
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(writeFile(path, "<Configuration id='test'>" + vars.toUtf8() + "</Configuration>"));
    // Every variable starts non-empty so the row shows what loading put there.
    varNamed(f.get(), "h")->text = "old";
    varNamed(f.get(), "i")->fileData = "old";
    varNamed(f.get(), "i")->fileLength = 3;
    varNamed(f.get(), "d")->value = 77;
    QVERIFY(f->loadValues(path));
    QTEST(f->varText(varNamed(f.get(), name)), "expected");
}

void TestValueFile::load_unstorableString_keptWithDiagnostic()
{
    auto f = formatFromXml(AllKinds); // CP1251: no omega, no check mark
    QVERIFY(f);
    varNamed(f.get(), "h")->text = "old";
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(writeFile(path, QString::fromUtf8("<Configuration id='test'>\n<Var name='h' value='aΩ✓'/>\n"
                                              "<Var name='d' value='9'/></Configuration>").toUtf8()));
    QList<Diagnostic> seen;
    const DiagHandler previous = setDiagHandler([&](const Diagnostic &d) { seen.append(d); });
    const bool loaded = f->loadValues(path);
    setDiagHandler(previous);
    QVERIFY(loaded);
    QCOMPARE(varNamed(f.get(), "h")->text, QStringLiteral("old"));
    QCOMPARE(varNamed(f.get(), "d")->value, 9); // the rest of the file still loads
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first().text, QString::fromUtf8("Var h: characters 'Ω✓' cannot be stored in CP1251, value kept\n"));
    QCOMPARE(seen.first().location.file, path);
    QCOMPARE(seen.first().location.line, 2);
}

void TestValueFile::load_outOfRange_loadsWithDiagnostic()
{
    auto f = formatFromXml("<Format><word name='w' min='1' max='10'/><byte name='s' select='a|b'/>"
                           "<float name='f' min='-1' max='1'/><float name='g'/><dword name='d'/></Format>");
    QVERIFY(f);
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(writeFile(path, "<Configuration id='test'>\n<Var name='w' value='11'/>\n<Var name='s' value='2'/>\n"
                            "<Var name='f' value='1.5'/>\n<Var name='g' value='-7'/>\n<Var name='d' value='-5'/>\n"
                            "</Configuration>"));
    QList<Diagnostic> seen;
    const DiagHandler previous = setDiagHandler([&](const Diagnostic &d) { seen.append(d); });
    const bool loaded = f->loadValues(path);
    setDiagHandler(previous);
    QVERIFY(loaded);
    // Loaded as they are; each named once, at its line. A float without bounds and a plain
    // number without them are left alone.
    QCOMPARE(varNamed(f.get(), "w")->value, 11);
    QStringList lines;
    for (const Diagnostic &d : seen)
        lines << QString::number(d.location.line) + QLatin1Char(' ') + d.text;
    QCOMPARE(lines, (QStringList{"2 Var w: value 11 is outside 1..10\n", "3 Var s: value 2 is not one of its 2 items\n",
                                 "4 Var f: value 1.5 is outside -1..1\n"}));
}

void TestValueFile::load_refused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("other id") << QByteArray("<Configuration id='other'><Var name='d' value='1'/></Configuration>");
    QTest::newRow("id differs in case") << QByteArray("<Configuration id='TEST'><Var name='d' value='1'/></Configuration>");
    QTest::newRow("no id is noname") << QByteArray("<Configuration><Var name='d' value='1'/></Configuration>");
    QTest::newRow("other root tag") << QByteArray("<configuration id='test'><Var name='d' value='1'/></configuration>");
    QTest::newRow("a description file") << QByteArray("<Device id='test'><Format><dword name='d'/></Format></Device>");
    QTest::newRow("not XML") << QByteArray("\x01\x02 binary");
}

void TestValueFile::load_refused()
{
    QFETCH(QByteArray, content);
    auto f = formatFromXml(AllKinds);
    QVERIFY(f);
    varNamed(f.get(), "d")->value = 42;
    const QByteArray before = f->pack();
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("v.xml"), content));
    DiagCapture diag;
    QVERIFY(!f->loadValues(dir.filePath("v.xml")));
    QCOMPARE(f->pack(), before);
    QCOMPARE(diag.out, QByteArray());
}

void TestValueFile::load_fallsBackToBackup()
{
    auto f = formatFromXml(AllKinds);
    QVERIFY(f);
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    varNamed(f.get(), "d")->value = 1;
    QVERIFY(f->saveValues(path));
    varNamed(f.get(), "d")->value = 2;
    QVERIFY(f->saveValues(path));
    QVERIFY(writeFile(path, "<Configuration id='test'><Var name='d' value='3'/>")); // cut short
    DiagCapture diag;
    QVERIFY(f->loadValues(path));
    QCOMPARE(f->intValue("d"), 1);
    QVERIFY(diag.err.startsWith("Parse error for file '" + path.toLocal8Bit() + "'"));

    // A noname format takes the file whose root has no id.
    auto n = formatFromXml("<Format><byte name='d'/></Format>", "noname");
    QVERIFY(writeFile(path, "<Configuration><Var name='d' value='5'/></Configuration>"));
    QVERIFY(n->loadValues(path));
    QCOMPARE(n->intValue("d"), 5);
}

void TestValueFile::load_laterDuplicateWins()
{
    auto f = formatFromXml(AllKinds);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("v.xml"), "<?xml version='1.0' encoding='windows-1251'?>"
                                             "<Configuration id='test'><Var name='h' value='\xc6'/>"
                                             "<Var name='d' value='1'/><Var name='d' value='2'/></Configuration>"));
    QVERIFY(f->loadValues(dir.filePath("v.xml")));
    QCOMPARE(f->intValue("d"), 2);
    QCOMPARE(varNamed(f.get(), "h")->text, QStringLiteral("Ж"));
}

void TestValueFile::save_unwritablePath_fails()
{
    auto f = formatFromXml(AllKinds);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("file"), "x"));
    DiagCapture diag;
    QVERIFY(!f->saveValues(dir.filePath("file/v.xml")));
    QCOMPARE(diag.err, "Can't open file '" + dir.filePath("file/v.xml").toLocal8Bit() + "' for writing\n");
}

void TestValueFile::save_controlCharacters_fileStaysReadable()
{
    // A string read from a device may hold bytes that XML cannot carry at all.
    auto f = formatFromXml("<Format><string name='s' size='20'/><byte name='b'/></Format>");
    varNamed(f.get(), "s")->text = QStringLiteral("a\x01" "b\x1f\rc");
    varNamed(f.get(), "b")->value = 7;
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(f->saveValues(path));
    auto g = formatFromXml("<Format><string name='s' size='20'/><byte name='b'/></Format>");
    DiagCapture diag;
    QVERIFY(g->loadValues(path));
    QCOMPARE(diag.err, QByteArray());
    QCOMPARE(varNamed(g.get(), "s")->text, QStringLiteral("ab\rc"));
    QCOMPARE(g->intValue("b"), 7);
}

// One variable of each kind changed from `before` to `after`: whether it is listed, and the
// two texts it is listed with.
void TestValueFile::differences_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("expected"); // "first|second", empty when not listed

    QTest::newRow("int") << "i" << "-7" << "5 V|-7 V";
    QTest::newRow("select") << "s" << "2" << "B|C";
    QTest::newRow("select out of items") << "s" << "9" << "B|???";
    QTest::newRow("time") << "t" << "545" << "10:00|09:05";
    QTest::newRow("address") << "a" << "33554442" << "10.0.0.1|10.0.0.2";
    QTest::newRow("same int") << "i" << "5" << "";
    QTest::newRow("float shown") << "f" << "2.5" << "1.25 V|2.50 V";
    QTest::newRow("float hidden digits") << "f" << "1.251" << "1.25|1.251";
    QTest::newRow("float zero and minus zero") << "z" << "-0" << "";
    QTest::newRow("string") << "str" << "xyz" << "abc|xyz";
    QTest::newRow("file same length") << "file" << "QUJE" << "QUJD|QUJE";
    QTest::newRow("file other length") << "file" << "QQ==" << "3 bytes|1 bytes";
}

void TestValueFile::differences()
{
    QFETCH(QString, name);
    QFETCH(QString, after);
    QFETCH(QString, expected);
    const auto format = formatFromXml(QStringLiteral(
        "<Format><dword name='i' suffix='V'/><word name='s' select='A|B|C'/><hhmm name='t'/><ip name='a'/>"
        "<float name='f' format='2' min='-5' max='5' suffix='V'/><float name='z' min='-5' max='5'/>"
        "<string name='str' size='8'/><file name='file' size='8'/><struct name='st'><byte name='b'/></struct>"
        "</Format>"));
    QVERIFY(format);
    format->varByName("i")->value = 5;
    format->varByName("s")->value = 1;
    format->varByName("t")->value = 600;
    format->varByName("a")->value = 0x0100000A;
    format->varByName("f")->floatValue = 1.25f;
    format->varByName("str")->text = QStringLiteral("abc");
    format->varByName("file")->fileData = "ABC";
    format->varByName("file")->fileLength = 3;
    const ValueSet before = valuesOf(*format);

    ConfVar *var = format->varByName(name);
    switch (var->kind) {
    case KindFloat:
        var->floatValue = after.toFloat();
        break;
    case KindString:
        var->text = after;
        break;
    case KindFile:
        var->fileData = QByteArray::fromBase64(after.toLatin1());
        var->fileLength = qint32(var->fileData.size());
        break;
    default:
        var->value = after.toInt();
    }
    const QList<ValueDifference> found = valueDifferences(*format, before, valuesOf(*format));
    if (expected.isEmpty()) {
        QVERIFY(found.isEmpty());
        return;
    }
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].name, name);
    QCOMPARE(found[0].first + QLatin1Char('|') + found[0].second, expected);
}

QTEST_GUILESS_MAIN(TestValueFile)
#include "tst_valuefile.moc"
