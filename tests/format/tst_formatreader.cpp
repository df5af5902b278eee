#include "formattestutil.h"

#include <QTranslator>
#include <cstring>

class TestFormatReader : public QObject
{
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void refused_data();
    void refused();
    void intAttributes_data();
    void intAttributes();
    void boolItems_data();
    void boolItems();
    void boolItems_followInstalledTranslation();
    void floatAttributes_data();
    void floatAttributes();
    void encoding_data();
    void encoding();
    void freshFormat_holdsNoValues();
    void structure_idIsFirstMember();
    void arrayOfStructures_namesAndOffsets();
};

static QString wrap(const QString &children)
{
    return QStringLiteral("<Format>") + children + QStringLiteral("</Format>");
}

// "name@offset+size" for every record in name order, then the data size.
static QString layoutOf(const ConfFormat &f)
{
    QStringList parts;
    for (const auto &e : f.vars())
        parts << QStringLiteral("%1@%2+%3").arg(e.first).arg(e.second.offset).arg(e.second.size);
    return parts.join(QLatin1Char(' ')) + QStringLiteral(" | %1").arg(f.dataSize());
}

void TestFormatReader::layout_data()
{
    QTest::addColumn<QString>("children");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example: a0 b1 s6 p16 p.x16 p.y20, 24 bytes")
        << "<byte name='a'/><word name='b'/><pad size='3'/><string name='s' size='10'/>"
           "<struct name='p'><dword name='x'/><float name='y'/></struct>"
        << "a@0+1 b@1+2 p@16+0 p.x@16+4 p.y@20+4 s@6+10 | 24";
    QTest::newRow("every fixed width")
        << "<bool name='a'/><byte name='b'/><word name='c'/><dword name='d'/><hhmm name='e'/>"
           "<ip name='f'/><float name='g'/>"
        << "a@0+1 b@1+1 c@2+2 d@4+4 e@8+2 f@10+4 g@14+4 | 18";
    QTest::newRow("array elements back to back, name order x[10] before x[2]")
        << "<byte name='x[11]'/>"
        << "x[0]@0+1 x[10]@10+1 x[1]@1+1 x[2]@2+1 x[3]@3+1 x[4]@4+1 x[5]@5+1 x[6]@6+1 x[7]@7+1 "
           "x[8]@8+1 x[9]@9+1 | 11";
    QTest::newRow("upper case sorts before lower case")
        << "<byte name='b'/><byte name='B'/><byte name='a'/>"
        << "B@1+1 a@2+1 b@0+1 | 3";
    QTest::newRow("pad default is one byte, zero is accepted")
        << "<byte name='a'/><pad/><byte name='b'/><pad size='0'/><byte name='c'/>"
        << "a@0+1 b@2+1 c@3+1 | 4";
    QTest::newRow("pad needs no name and trailing pad counts")
        << "<byte name='a'/><pad size='5'/>"
        << "a@0+1 | 6";
    QTest::newRow("empty structure sits at the offset of what follows")
        << "<byte name='a'/><struct name='e'/><word name='b'/>"
        << "a@0+1 b@1+2 e@1+0 | 3";
    QTest::newRow("nested structures")
        << "<struct name='o'><byte name='a'/><struct name='i'><word name='b'/></struct><byte name='c'/></struct>"
        << "o@0+0 o.a@0+1 o.c@3+1 o.i@1+0 o.i.b@1+2 | 4";
    QTest::newRow("string size 300 clamps to 255")
        << "<string name='s' size='300'/>" << "s@0+255 | 255";
    QTest::newRow("string size 256 clamps to 255")
        << "<string name='s' size='256'/>" << "s@0+255 | 255";
    QTest::newRow("string size 0 becomes 1")
        << "<string name='s' size='0'/>" << "s@0+1 | 1";
    QTest::newRow("string negative size becomes 1")
        << "<string name='s' size='-4'/>" << "s@0+1 | 1";
    QTest::newRow("string non-numeric size becomes 1")
        << "<string name='s' size='ten'/>" << "s@0+1 | 1";
    QTest::newRow("file size 20000 clamps to 10240")
        << "<file name='f' size='20000'/>" << "f@0+10240 | 10240";
    QTest::newRow("file size 2 is the smallest")
        << "<file name='f' size='2'/>" << "f@0+2 | 2";
    QTest::newRow("blanks around a number are ignored")
        << "<string name='s' size=' 5 '/>" << "s@0+5 | 5";
    QTest::newRow("text and comments between elements are skipped")
        << "text<!-- note --><byte name='a'/> more <?pi x?><byte name='b'/>"
        << "a@0+1 b@1+1 | 2";
    QTest::newRow("unknown attribute ignored")
        << "<byte name='a' colour='red'/>" << "a@0+1 | 1";
    QTest::newRow("array of 100 is the largest")
        << "<struct name='t[100]'/>"
        << [] {
               QStringList names;
               for (int i = 0; i < 100; ++i)
                   names << QStringLiteral("t[%1]").arg(i);
               names.sort();
               for (QString &n : names)
                   n += QStringLiteral("@0+0");
               return names.join(QLatin1Char(' ')) + QStringLiteral(" | 0");
           }();
    QTest::newRow("data area of exactly 65535 bytes")
        << "<pad size='65534'/><byte name='a'/>" << "a@65534+1 | 65535";
}

void TestFormatReader::layout()
{
    QFETCH(QString, children);
    QFETCH(QString, expected);
    DiagCapture diag;
    auto f = formatFromXml(wrap(children));
    QVERIFY2(f, diag.out.constData());
    QCOMPARE(layoutOf(*f), expected);
    QCOMPARE(diag.out, QByteArray());
}

void TestFormatReader::refused_data()
{
    QTest::addColumn<QString>("children");
    QTest::addColumn<QByteArray>("diagnostic");

    QTest::newRow("missing name") << "<byte/>" << QByteArray("No 'name' property\n");
    QTest::newRow("missing name inside structure")
        << "<struct name='s'><byte name='a'/><word/></struct>" << QByteArray("No 'name' property\n");
    QTest::newRow("duplicate name")
        << "<byte name='a'/><word name='a'/>" << QByteArray("Duplicate var name 'a'\n");
    QTest::newRow("duplicate from array expansion")
        << "<byte name='t[2]'/><byte name='t[1]'/>" << QByteArray("Duplicate var name 't[0]'\n");
    QTest::newRow("duplicate of a member spelled with a dot")
        << "<struct name='p'><byte name='x'/></struct><byte name='p.x'/>"
        << QByteArray("Duplicate var name 'p.x'\n");
    QTest::newRow("array dim 101") << "<byte name='t[101]'/>" << QByteArray("Bad array dim\n");
    QTest::newRow("array dim 0") << "<byte name='t[0]'/>" << QByteArray("Bad array dim\n");
    QTest::newRow("array dim empty") << "<byte name='t[]'/>" << QByteArray("Bad array dim\n");
    QTest::newRow("array dim not a number") << "<byte name='t[x]'/>" << QByteArray("Bad array dim\n");
    QTest::newRow("two dimensions") << "<byte name='t[2][3]'/>" << QByteArray("Bad array dim\n");
    QTest::newRow("negative dim") << "<byte name='t[-1]'/>" << QByteArray("Bad array dim\n");
    QTest::newRow("unclosed bracket") << "<byte name='t[3'/>" << QByteArray("Bad array format\n");
    QTest::newRow("text after bracket") << "<byte name='t[3]x'/>" << QByteArray("Bad array format\n");
    QTest::newRow("string without size") << "<string name='s'/>" << QByteArray("No 'size' property\n");
    QTest::newRow("file without size") << "<file name='f'/>" << QByteArray("No 'size' property\n");
    QTest::newRow("unknown tag") << "<int name='i'/>" << QByteArray("Bad type 'int'\n");
    QTest::newRow("tags are case-sensitive") << "<Byte name='b'/>" << QByteArray("Bad type 'Byte'\n");
    QTest::newRow("unknown tag deep in a structure")
        << "<struct name='a'><struct name='b'><long name='c'/></struct></struct>" << QByteArray("Bad type 'long'\n");
    QTest::newRow("negative pad") << "<byte name='a'/><pad size='-2'/><byte name='b'/>"
                                  << QByteArray("Bad pad size -2\n");
    QTest::newRow("file of size 1") << "<file name='f' size='1'/>" << QByteArray("File 'f' too small\n");
    QTest::newRow("file of size 0 becomes 1, too small")
        << "<struct name='s'><file name='f[2]' size='0'/></struct>" << QByteArray("File 's.f[0]' too small\n");
    QTest::newRow("data area above 65535 bytes")
        << "<pad size='65531'/><byte name='a'/>" << QByteArray("Data area too large (65536 bytes)\n");
    QTest::newRow("data area overflow through huge pads")
        << "<pad size='2147483647'/><pad size='2147483647'/>" << QByteArray("Data area too large (2147483651 bytes)\n");
    QTest::newRow("data area too large through arrays")
        << "<struct name='s[100]'><string name='t[3]' size='255'/></struct>"
        << QByteArray("Data area too large (65539 bytes)\n");
    QTest::newRow("records multiplied by nested arrays of empty structures")
        << "<struct name='a[100]'><struct name='b[100]'><struct name='c[100]'/></struct></struct>"
        << QByteArray("Too many variables (more than 262144)\n");
    QTest::newRow("structures nested too deeply")
        << QString(QStringLiteral("<struct name='n'>").repeated(65) + QStringLiteral("</struct>").repeated(65))
        << QByteArray("Struct 'n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n"
                      ".n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n.n' nested too deeply\n");
}

void TestFormatReader::refused()
{
    QFETCH(QString, children);
    QFETCH(QByteArray, diagnostic);
    DiagCapture diag;
    // The valid variables before the fault must not leave a partial format behind.
    auto f = formatFromXml(wrap(QStringLiteral("<dword name='before'/>") + children));
    QVERIFY(!f);
    QCOMPARE(diag.out, diagnostic);
    QCOMPARE(diag.err, QByteArray());
}

void TestFormatReader::intAttributes_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("defaults") << "<word name='v'/>" << INT_MIN << INT_MAX << QString() << QStringList();
    QTest::newRow("given") << "<byte name='v' min='-5' max='17' suffix='ms'/>" << -5 << 17 << "ms" << QStringList();
    QTest::newRow("present but empty reads 0") << "<dword name='v' min='' max=''/>" << 0 << 0 << QString()
                                               << QStringList();
    QTest::newRow("not a number reads 0") << "<dword name='v' min='low' max='0x10'/>" << 0 << 0 << QString()
                                          << QStringList();
    QTest::newRow("out of int range reads 0") << "<dword name='v' max='2147483648'/>" << INT_MIN << 0 << QString()
                                              << QStringList();
    QTest::newRow("min above max accepted") << "<byte name='v' min='9' max='3'/>" << 9 << 3 << QString()
                                            << QStringList();
    QTest::newRow("select items") << "<byte name='v' select='slow|fast'/>" << INT_MIN << INT_MAX << QString()
                                  << QStringList{"slow", "fast"};
    QTest::newRow("select keeps empty pieces") << "<word name='v' select='a||b'/>" << INT_MIN << INT_MAX << QString()
                                               << QStringList{"a", "", "b"};
    QTest::newRow("empty select is one empty item") << "<dword name='v' select=''/>" << INT_MIN << INT_MAX
                                                    << QString() << QStringList{""};
}

void TestFormatReader::intAttributes()
{
    QFETCH(QString, element);
    auto f = formatFromXml(wrap(element));
    QVERIFY(f);
    ConfVar *v = varNamed(f.get(), "v");
    QVERIFY(v);
    QCOMPARE(v->kind, KindInt);
    QTEST(v->min, "min");
    QTEST(v->max, "max");
    QTEST(v->suffix, "suffix");
    QTEST(v->items, "items");
}

void TestFormatReader::boolItems_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("defaults") << "<bool name='v'/>" << QStringList{"off", "on"};
    QTest::newRow("own texts") << "<bool name='v' false='No' true='Yes'/>" << QStringList{"No", "Yes"};
    QTest::newRow("empty texts stay empty") << "<bool name='v' false='' true=''/>" << QStringList{"", ""};
    QTest::newRow("select ignored") << "<bool name='v' select='a|b|c'/>" << QStringList{"off", "on"};
}

void TestFormatReader::boolItems()
{
    QFETCH(QString, element);
    auto f = formatFromXml(wrap(element));
    QVERIFY(f);
    const ConfVar *v = varNamed(f.get(), "v");
    QCOMPARE(v->kind, KindInt);
    QCOMPARE(v->size, 1);
    QTEST(v->items, "items");
}

namespace {
class OnOffTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "ConfFormat") != 0)
            return QString();
        if (qstrcmp(source, "off") == 0)
            return QStringLiteral("выкл");
        if (qstrcmp(source, "on") == 0)
            return QStringLiteral("вкл");
        return QString();
    }
    bool isEmpty() const override { return false; }
};
} // namespace

void TestFormatReader::boolItems_followInstalledTranslation()
{
    OnOffTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    auto f = formatFromXml(wrap("<bool name='v'/><bool name='w' true='Yes'/>"));
    QCoreApplication::removeTranslator(&translator);
    QVERIFY(f);
    QCOMPARE(varNamed(f.get(), "v")->items, (QStringList{QStringLiteral("выкл"), QStringLiteral("вкл")}));
    QCOMPARE(varNamed(f.get(), "w")->items, (QStringList{QStringLiteral("выкл"), QStringLiteral("Yes")}));
}

static quint32 bitsOf(float f)
{
    quint32 b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

void TestFormatReader::floatAttributes_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<quint32>("minBits");
    QTest::addColumn<quint32>("maxBits");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("suffix");

    QTest::newRow("defaults: smallest normal and largest single, one decimal")
        << "<float name='v'/>" << 0x00800000u << 0x7F7FFFFFu << 1 << QString();
    QTest::newRow("given") << "<float name='v' min='-2.5' max='1e3' format='3' suffix='V'/>" << bitsOf(-2.5f)
                           << bitsOf(1000.0f) << 3 << "V";
    QTest::newRow("not numbers read 0") << "<float name='v' min='cold' max='' format='x'/>" << 0u << 0u << 0
                                        << QString();
    QTest::newRow("negative decimals become 0") << "<float name='v' format='-3'/>" << 0x00800000u << 0x7F7FFFFFu << 0
                                                << QString();
    QTest::newRow("decimals bounded at 100") << "<float name='v' format='2147483647'/>" << 0x00800000u
                                             << 0x7F7FFFFFu << 100 << QString();
    QTest::newRow("out of float range reads 0") << "<float name='v' max='1e39'/>" << 0x00800000u << 0u << 1
                                                << QString();
}

void TestFormatReader::floatAttributes()
{
    QFETCH(QString, element);
    auto f = formatFromXml(wrap(element));
    QVERIFY(f);
    const ConfVar *v = varNamed(f.get(), "v");
    QCOMPARE(v->kind, KindFloat);
    QCOMPARE(v->size, 4);
    QTEST(bitsOf(v->floatMin), "minBits");
    QTEST(bitsOf(v->floatMax), "maxBits");
    QTEST(v->decimals, "decimals");
    QTEST(v->suffix, "suffix");
}

void TestFormatReader::encoding_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("encoding");
    QTest::newRow("default") << "<Format/>" << "CP1251";
    QTest::newRow("given") << "<Format encoding='KOI8-R'/>" << "KOI8-R";
    QTest::newRow("unknown name stored unchanged") << "<Format encoding='no-such'/>" << "no-such";
}

void TestFormatReader::encoding()
{
    QFETCH(QString, xml);
    auto f = formatFromXml(xml, "enc");
    QVERIFY(f);
    QCOMPARE(f->id(), QStringLiteral("enc"));
    QTEST(f->encoding(), "encoding");
}

void TestFormatReader::freshFormat_holdsNoValues()
{
    auto f = formatFromXml(wrap("<bool name='a'/><byte name='b' select='x|y'/><hhmm name='c'/><ip name='d'/>"
                                "<float name='e'/><string name='s' size='4'/><file name='f' size='9'/>"));
    QVERIFY(f);
    for (const auto &e : f->vars()) {
        QCOMPARE(e.second.value, 0);
        QCOMPARE(e.second.floatValue, 0.0f);
        QVERIFY(e.second.text.isEmpty());
        QCOMPARE(e.second.fileLength, 0);
        QVERIFY(e.second.fileData.isEmpty());
    }
}

void TestFormatReader::structure_idIsFirstMember()
{
    auto f = formatFromXml(wrap("<pad size='10'/><struct name='s'><byte name='a'/><word name='b'/></struct>"));
    QVERIFY(f);
    QCOMPARE(f->idOf("s"), 10);
    QCOMPARE(f->nameOf(10), QStringLiteral("s.a"));
    QCOMPARE(f->nameOf(11), QStringLiteral("s.b"));
    QCOMPARE(f->idOf("nothing"), -1);
    QCOMPARE(f->nameOf(9), QString());
}

void TestFormatReader::arrayOfStructures_namesAndOffsets()
{
    auto f = formatFromXml(wrap("<struct name='ch[2]'><byte name='mode'/><dword name='baud'/></struct>"));
    QVERIFY(f);
    QCOMPARE(layoutOf(*f), QStringLiteral("ch[0]@0+0 ch[0].baud@1+4 ch[0].mode@0+1 "
                                          "ch[1]@5+0 ch[1].baud@6+4 ch[1].mode@5+1 | 10"));
    QCOMPARE(int(f->vars().at("ch[1].mode").kind), int(KindInt));
    QCOMPARE(int(f->vars().at("ch[1]").kind), int(KindStruct));
}

QTEST_GUILESS_MAIN(TestFormatReader)
#include "tst_formatreader.moc"
