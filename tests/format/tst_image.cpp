#include "formattestutil.h"

#include <QVariantMap>

// Expected images below were computed independently of this code base: the CRC is
// CRC-16/MODBUS (reveng catalogue, check 0x4B37), appended low byte first.
class TestImage : public QObject
{
    Q_OBJECT
private slots:
    void pack_data();
    void pack();
    void pack_freshFormat_isAllZero();
    void pack_fileLengthBeyondSlot_staysInSlot();
    void pack_unknownCodec_fallsBackToSystem();
    void unstorableCharacters_data();
    void unstorableCharacters();
    void unpack_data();
    void unpack();
    void unpack_rejected_data();
    void unpack_rejected();
    void unpack_anyChangedByte_isBadCrc();
    void unpack_longerImage_isAccepted();
    void roundTrip_everyKind();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

static void setValues(ConfFormat *f, const QVariantMap &values)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        ConfVar *v = varNamed(f, it.key());
        QVERIFY2(v, qPrintable(it.key()));
        switch (v->kind) {
        case KindInt:
        case KindTime:
        case KindIp:
            v->value = it.value().toInt();
            break;
        case KindFloat:
            v->floatValue = it.value().toFloat();
            break;
        case KindString:
            v->text = it.value().toString();
            break;
        case KindFile:
            v->fileData = it.value().toByteArray();
            v->fileLength = int(v->fileData.size());
            break;
        case KindStruct:
            break;
        }
    }
}

static void compareValues(ConfFormat *f, const QVariantMap &values)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        const ConfVar *v = varNamed(f, it.key());
        QVERIFY2(v, qPrintable(it.key()));
        switch (v->kind) {
        case KindInt:
        case KindTime:
        case KindIp:
            QCOMPARE(v->value, it.value().toInt());
            break;
        case KindFloat:
            QCOMPARE(v->floatValue, it.value().toFloat());
            break;
        case KindString:
            QCOMPARE(v->text, it.value().toString());
            break;
        case KindFile:
            QCOMPARE(v->fileData, it.value().toByteArray());
            QCOMPARE(v->fileLength, int(it.value().toByteArray().size()));
            break;
        case KindStruct:
            break;
        }
    }
}

void TestImage::pack_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QByteArray>("image");

    QTest::newRow("dword 0x12345678") << "<Format><dword name='v'/></Format>" << QVariantMap{{"v", 0x12345678}}
                                      << hex("04 00 78 56 34 12 6F E2");
    QTest::newRow("byte 200 stored as C8") << "<Format><byte name='v'/></Format>" << QVariantMap{{"v", 200}}
                                           << hex("01 00 C8 21 96");
    QTest::newRow("byte -1") << "<Format><byte name='v'/></Format>" << QVariantMap{{"v", -1}}
                             << hex("01 00 FF 60 40");
    QTest::newRow("byte 300 keeps low 8 bits") << "<Format><byte name='v'/></Format>" << QVariantMap{{"v", 300}}
                                               << hex("01 00 2C 21 DD");
    QTest::newRow("word -1") << "<Format><word name='v'/></Format>" << QVariantMap{{"v", -1}}
                             << hex("02 00 FF FF 00 2C");
    QTest::newRow("word 70000 keeps low 16 bits") << "<Format><word name='v'/></Format>"
                                                  << QVariantMap{{"v", 70000}} << hex("02 00 70 11 E4 50");
    QTest::newRow("select stores the index") << "<Format><byte name='v' select='a|b|c'/></Format>"
                                             << QVariantMap{{"v", 2}} << hex("01 00 02 A1 C1");
    QTest::newRow("hhmm 10:05") << "<Format><hhmm name='v'/></Format>" << QVariantMap{{"v", 605}}
                                << hex("02 00 5D 02 B8 CD");
    QTest::newRow("ip 192.168.0.1 first number first")
        << "<Format><ip name='v'/></Format>" << QVariantMap{{"v", 16820416}} << hex("04 00 C0 A8 00 01 7D BF");
    QTest::newRow("float 1.0 bit pattern") << "<Format><float name='v'/></Format>" << QVariantMap{{"v", 1.0f}}
                                           << hex("04 00 00 00 80 3F 20 4F");
    QTest::newRow("string abc in 8 bytes") << "<Format><string name='v' size='8'/></Format>"
                                           << QVariantMap{{"v", "abc"}} << hex("08 00 61 62 63 00 00 00 00 00 7C 5C");
    QTest::newRow("string of seven fills seven, ends in zero")
        << "<Format><string name='v' size='8'/></Format>" << QVariantMap{{"v", "abcdefg"}}
        << hex("08 00 61 62 63 64 65 66 67 00 D9 77");
    QTest::newRow("string too long is cut to size - 1")
        << "<Format><string name='v' size='8'/></Format>" << QVariantMap{{"v", "abcdefghij"}}
        << hex("08 00 61 62 63 64 65 66 67 00 D9 77");
    QTest::newRow("string of size 1 holds nothing")
        << "<Format><string name='v' size='1'/></Format>" << QVariantMap{{"v", "abc"}} << hex("01 00 00 20 00");
    QTest::newRow("string in CP1251 by default")
        << "<Format><string name='v' size='4'/></Format>" << QVariantMap{{"v", QStringLiteral("пр")}}
        << hex("04 00 EF F0 00 00 35 78");
    QTest::newRow("UTF-8 cut by bytes, not characters")
        << "<Format encoding='UTF-8'><string name='v' size='4'/></Format>"
        << QVariantMap{{"v", QStringLiteral("жук")}} << hex("04 00 D0 B6 D1 00 84 E9");
    QTest::newRow("file: length then contents")
        << "<Format><file name='v' size='8'/></Format>" << QVariantMap{{"v", QByteArray("abc")}}
        << hex("08 00 03 00 61 62 63 00 00 00 5E 05");
    QTest::newRow("file filling its slot")
        << "<Format><file name='v' size='4'/></Format>" << QVariantMap{{"v", QByteArray("ab")}}
        << hex("04 00 02 00 61 62 A8 5E");
    QTest::newRow("pad written as zero, slots by offset")
        << "<Format><byte name='a'/><pad size='2'/><word name='b'/></Format>"
        << QVariantMap{{"a", 1}, {"b", 0x0203}} << hex("05 00 01 00 00 03 02 F2 F1");
}

void TestImage::pack()
{
    QFETCH(QString, format);
    QFETCH(QVariantMap, values);
    QFETCH(QByteArray, image);
    auto f = formatFromXml(format);
    QVERIFY(f);
    setValues(f.get(), values);
    DiagCapture diag;
    // Guard bytes around the caller's buffer catch any write outside the image.
    QByteArray buffer(image.size() + 8, char(0xA5));
    QCOMPARE(f->pack(reinterpret_cast<uchar *>(buffer.data()) + 4), int(image.size()));
    QCOMPARE(buffer.mid(4, image.size()).toHex(' '), image.toHex(' '));
    QCOMPARE(buffer.left(4), QByteArray(4, char(0xA5)));
    QCOMPARE(buffer.right(4), QByteArray(4, char(0xA5)));
    QCOMPARE(f->pack().toHex(' '), image.toHex(' '));
    QCOMPARE(diag.out, QByteArray());
}

void TestImage::pack_freshFormat_isAllZero()
{
    auto f = formatFromXml("<Format><byte name='a'/><word name='b'/><pad size='3'/><string name='s' size='10'/>"
                           "<struct name='p'><dword name='x'/><float name='y'/></struct></Format>");
    QVERIFY(f);
    QCOMPARE(f->imageSize(), 28);
    QCOMPARE(f->pack().toHex(' '),
             hex("18 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 3C 66").toHex(' '));
}

void TestImage::pack_fileLengthBeyondSlot_staysInSlot()
{
    // A length that disagrees with the slot (set by a caller that skipped the cut)
    // must not spill into the next variable or the checksum.
    auto f = formatFromXml("<Format><file name='f' size='4'/><byte name='g'/></Format>");
    QVERIFY(f);
    ConfVar *v = varNamed(f.get(), "f");
    v->fileData = "abcdef";
    v->fileLength = 6;
    varNamed(f.get(), "g")->value = 0x11;
    QCOMPARE(f->pack(), imageOf(hex("02 00 61 62 11")));
    v->fileData = "a";
    v->fileLength = 3; // more than the buffer holds
    QCOMPARE(f->pack(), imageOf(hex("01 00 61 00 11")));
}

void TestImage::pack_unknownCodec_fallsBackToSystem()
{
    auto f = formatFromXml("<Format encoding='no-such-codec'><string name='s' size='5'/></Format>");
    QVERIFY(f);
    varNamed(f.get(), "s")->text = "abc";
    DiagCapture diag;
    QCOMPARE(f->pack(), imageOf(hex("61 62 63 00 00")));
    QCOMPARE(diag.out, QByteArray("No codec for no-such-codec\n"));
    QVERIFY(f->unpack(reinterpret_cast<const uchar *>(imageOf(hex("78 79 00 00 00")).constData()), 9));
    QCOMPARE(diag.out, QByteArray("No codec for no-such-codec\nNo codec for no-such-codec\nConfig ok\n"));
    QCOMPARE(varNamed(f.get(), "s")->text, QStringLiteral("xy"));
}

void TestImage::unstorableCharacters_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unstorable");
    const auto u = [](const char *utf8) { return QString::fromUtf8(utf8); };
    QTest::newRow("CP1251: Cyrillic, euro and ASCII store") << "CP1251" << u("Привет €1 ~") << "";
    QTest::newRow("CP1251: each foreign character once, in order") << "CP1251" << u("aΩ✓bΩ") << u("Ω✓");
    QTest::newRow("CP1251: a question mark is itself") << "CP1251" << "?" << "";
    QTest::newRow("CP1251: a character outside the BMP") << "CP1251" << u("x😀") << u("😀");
    QTest::newRow("ISO-8859-1: no Cyrillic") << "ISO-8859-1" << u("café Я") << u("Я");
    QTest::newRow("KOI8-R: Cyrillic stores") << "KOI8-R" << u("ёж") << "";
    QTest::newRow("UTF-8: everything") << "UTF-8" << u("Ω✓😀Я") << "";
    QTest::newRow("UTF-8: a lone surrogate") << "UTF-8" << (QStringLiteral("a") + QChar(0xD800)) << QString(QChar(0xD800));
}

void TestImage::unstorableCharacters()
{
    QFETCH(QString, encoding);
    QFETCH(QString, text);
    auto f = formatFromXml("<Format encoding='" + encoding + "'><string name='s' size='40'/></Format>");
    QVERIFY(f);
    QTEST(f->unstorableCharacters(text), "unstorable");
}

void TestImage::unpack_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVariantMap>("values");

    QTest::newRow("byte C8 is -56") << "<Format><byte name='v'/></Format>" << hex("C8") << QVariantMap{{"v", -56}};
    QTest::newRow("byte FF is -1") << "<Format><byte name='v'/></Format>" << hex("FF") << QVariantMap{{"v", -1}};
    QTest::newRow("byte 7F is 127") << "<Format><byte name='v'/></Format>" << hex("7F") << QVariantMap{{"v", 127}};
    QTest::newRow("bool byte 02 is 2") << "<Format><bool name='v'/></Format>" << hex("02") << QVariantMap{{"v", 2}};
    QTest::newRow("word FFFF is 65535") << "<Format><word name='v'/></Format>" << hex("FF FF")
                                        << QVariantMap{{"v", 65535}};
    QTest::newRow("dword FFFFFFFF is -1") << "<Format><dword name='v'/></Format>" << hex("FF FF FF FF")
                                          << QVariantMap{{"v", -1}};
    QTest::newRow("dword little-endian") << "<Format><dword name='v'/></Format>" << hex("78 56 34 12")
                                         << QVariantMap{{"v", 0x12345678}};
    QTest::newRow("hhmm unsigned") << "<Format><hhmm name='v'/></Format>" << hex("FF FF")
                                   << QVariantMap{{"v", 65535}};
    QTest::newRow("ip bytes") << "<Format><ip name='v'/></Format>" << hex("C0 A8 00 01")
                              << QVariantMap{{"v", 16820416}};
    QTest::newRow("float bit pattern") << "<Format><float name='v'/></Format>" << hex("00 00 20 C0")
                                       << QVariantMap{{"v", -2.5f}};
    QTest::newRow("string stops at first zero") << "<Format><string name='v' size='8'/></Format>"
                                                << hex("61 62 63 00 78 78 78 00") << QVariantMap{{"v", "abc"}};
    QTest::newRow("string without zero reads size - 1")
        << "<Format><string name='v' size='4'/><byte name='w'/></Format>" << hex("61 62 63 64 65")
        << QVariantMap{{"v", "abc"}, {"w", 0x65}};
    QTest::newRow("string of size 1 is always empty") << "<Format><string name='v' size='1'/></Format>" << hex("41")
                                                      << QVariantMap{{"v", ""}};
    QTest::newRow("string decoded from CP1251") << "<Format><string name='v' size='4'/></Format>"
                                                << hex("EF F0 00 00") << QVariantMap{{"v", QStringLiteral("пр")}};
    QTest::newRow("string decoded from KOI8-R") << "<Format encoding='KOI8-R'><string name='v' size='2'/></Format>"
                                                << hex("F6 00") << QVariantMap{{"v", QStringLiteral("Ж")}};
    QTest::newRow("file length 60 in size 10 reads 8")
        << "<Format><file name='v' size='10'/></Format>" << hex("3C 00 31 32 33 34 35 36 37 38")
        << QVariantMap{{"v", QByteArray("12345678")}};
    QTest::newRow("file length size - 1 reads size - 2")
        << "<Format><file name='v' size='10'/></Format>" << hex("09 00 31 32 33 34 35 36 37 38")
        << QVariantMap{{"v", QByteArray("12345678")}};
    QTest::newRow("file length 65535 reads size - 2")
        << "<Format><file name='v' size='4'/></Format>" << hex("FF FF 31 32") << QVariantMap{{"v", QByteArray("12")}};
    QTest::newRow("file length size - 2 read whole")
        << "<Format><file name='v' size='10'/></Format>" << hex("08 00 31 32 33 34 35 36 37 38")
        << QVariantMap{{"v", QByteArray("12345678")}};
    QTest::newRow("file shorter than slot") << "<Format><file name='v' size='10'/></Format>"
                                            << hex("03 00 31 32 33 34 35 36 37 38")
                                            << QVariantMap{{"v", QByteArray("123")}};
    QTest::newRow("file empty") << "<Format><file name='v' size='4'/></Format>" << hex("00 00 31 32")
                                << QVariantMap{{"v", QByteArray()}};
    QTest::newRow("pad bytes ignored") << "<Format><byte name='a'/><pad size='2'/><byte name='b'/></Format>"
                                       << hex("01 EE EE 02") << QVariantMap{{"a", 1}, {"b", 2}};
    QTest::newRow("array elements by offset, name order irrelevant")
        << "<Format><byte name='x[11]'/></Format>" << hex("00 01 02 03 04 05 06 07 08 09 0A")
        << QVariantMap{{"x[0]", 0}, {"x[1]", 1}, {"x[2]", 2}, {"x[10]", 10}};
}

void TestImage::unpack()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, data);
    QFETCH(QVariantMap, values);
    auto f = formatFromXml(format);
    QVERIFY(f);
    // Start from values that every row overwrites.
    for (const auto &e : f->vars()) {
        ConfVar *v = varNamed(f.get(), e.first);
        v->value = 12345;
        v->floatValue = 9.5f;
        v->text = "old";
        v->fileData = "old";
        v->fileLength = 3;
    }
    const QByteArray image = imageOf(data);
    DiagCapture diag;
    QVERIFY(f->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())));
    QCOMPARE(diag.out, QByteArray("Config ok\n"));
    compareValues(f.get(), values);
}

void TestImage::unpack_rejected_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("diagnostic");

    const QByteArray good = hex("04 00 78 56 34 12 6F E2");
    QTest::newRow("one byte short") << good << 7 << QByteArray("Config too small\n");
    QTest::newRow("empty") << QByteArray() << 0 << QByteArray("Config too small\n");
    QTest::newRow("negative length") << good << -1 << QByteArray("Config too small\n");
    QTest::newRow("most negative length") << good << INT_MIN << QByteArray("Config too small\n");
    QTest::newRow("header says N + 1") << imageOf(hex("78 56 34 12 00")).remove(6, 1) << 8
                                       << QByteArray("Bad config size (got 5, need 4)\n");
    QTest::newRow("header says 0") << hex("00 00 78 56 34 12 00 00") << 8
                                   << QByteArray("Bad config size (got 0, need 4)\n");
    QTest::newRow("header says 65535") << hex("FF FF 78 56 34 12 00 00") << 8
                                       << QByteArray("Bad config size (got 65535, need 4)\n");
    QTest::newRow("CRC low byte wrong") << hex("04 00 78 56 34 12 6E E2") << 8 << QByteArray("Bad CRC\n");
}

void TestImage::unpack_rejected()
{
    QFETCH(QByteArray, image);
    QFETCH(int, length);
    auto f = formatFromXml("<Format><dword name='v'/></Format>");
    QVERIFY(f);
    varNamed(f.get(), "v")->value = 99;
    DiagCapture diag;
    QVERIFY(!f->unpack(reinterpret_cast<const uchar *>(image.constData()), length));
    QTEST(diag.out, "diagnostic");
    QCOMPARE(varNamed(f.get(), "v")->value, 99);
}

void TestImage::unpack_anyChangedByte_isBadCrc()
{
    auto f = formatFromXml("<Format><dword name='v'/><string name='s' size='3'/></Format>");
    QVERIFY(f);
    const QByteArray good = imageOf(hex("78 56 34 12 61 62 00"));
    for (int i = 2; i < good.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ (1 << bit));
            varNamed(f.get(), "v")->value = 7;
            varNamed(f.get(), "s")->text = "k";
            DiagCapture diag;
            QVERIFY(!f->unpack(reinterpret_cast<const uchar *>(bad.constData()), int(bad.size())));
            QCOMPARE(diag.out, QByteArray("Bad CRC\n"));
            QCOMPARE(varNamed(f.get(), "v")->value, 7);
            QCOMPARE(varNamed(f.get(), "s")->text, QStringLiteral("k"));
        }
    }
}

void TestImage::unpack_longerImage_isAccepted()
{
    auto f = formatFromXml("<Format><dword name='v'/></Format>");
    QVERIFY(f);
    const QByteArray image = hex("04 00 78 56 34 12 6F E2 FF");
    DiagCapture diag;
    QVERIFY(f->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())));
    QCOMPARE(varNamed(f.get(), "v")->value, 0x12345678);
}

void TestImage::roundTrip_everyKind()
{
    const QString xml = "<Format><bool name='a'/><byte name='b'/><word name='c' select='x|y|z'/><dword name='d'/>"
                        "<hhmm name='e'/><ip name='f'/><float name='g'/><string name='h' size='12'/>"
                        "<file name='i' size='9'/><pad size='3'/>"
                        "<struct name='s[3]'><byte name='m'/><string name='n' size='3'/></struct></Format>";
    auto f = formatFromXml(xml);
    auto g = formatFromXml(xml);
    QVERIFY(f && g);
    const QVariantMap values{{"a", 1}, {"b", -100}, {"c", 2}, {"d", INT_MIN}, {"e", 1439},
                             {"f", -939524086}, {"g", -1.5e-20f}, {"h", QStringLiteral("Привет, мир")},
                             {"i", QByteArray("\x00\x01\xFF\x80zz", 6)}, {"s[0].m", 5}, {"s[2].m", -5},
                             {"s[1].n", "ab"}};
    setValues(f.get(), values);
    const QByteArray image = f->pack();
    DiagCapture diag;
    QVERIFY(g->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())));
    compareValues(g.get(), values);
    QCOMPARE(g->pack(), image);
}

QTEST_GUILESS_MAIN(TestImage)
#include "tst_image.moc"
