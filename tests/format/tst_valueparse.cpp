// The text rules of the time and address editors, without dialogs.
#include "format/valueparse.h"

#include <QtTest>

class TestValueParse : public QObject
{
    Q_OBJECT
private slots:
    void time_data();
    void time();
    void ip_data();
    void ip();
};

void TestValueParse::time_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("minutes");

    QTest::newRow("singleDigits_9:5_is545") << "9:5" << true << 545;
    QTest::newRow("padded_10:05_is605") << "10:05" << true << 605;
    QTest::newRow("midnight_00:00_is0") << "00:00" << true << 0;
    QTest::newRow("lastMinute_23:59_is1439") << "23:59" << true << 1439;
    QTest::newRow("seconds_10:05:33_ignored") << "10:05:33" << true << 605;
    QTest::newRow("hour24_rejected") << "24:00" << false << 0;
    QTest::newRow("minute60_rejected") << "12:60" << false << 0;
    QTest::newRow("noColon_rejected") << "12" << false << 0;
    QTest::newRow("letters_rejected") << "ab:cd" << false << 0;
    QTest::newRow("negativeHour_rejected") << "-1:00" << false << 0;
    QTest::newRow("negativeMinute_rejected") << "1:-5" << false << 0;
    QTest::newRow("emptyMinutes_rejected") << "12:" << false << 0;
    QTest::newRow("emptyHours_rejected") << ":30" << false << 0;
    QTest::newRow("empty_rejected") << "" << false << 0;
    QTest::newRow("hexMinutes_rejected") << "1:0x1" << false << 0;
    QTest::newRow("dotSeparator_rejected") << "10.05" << false << 0;
}

void TestValueParse::time()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, minutes);

    qint32 result = -777;
    QCOMPARE(parseTimeText(text, &result), accepted);
    QCOMPARE(result, accepted ? minutes : -777);
}

void TestValueParse::ip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("bytes"); // bytes 0 to 3 of the value, first number first

    QTest::newRow("private_192.168.0.1") << "192.168.0.1" << true << QByteArray::fromHex("C0A80001");
    QTest::newRow("allZero") << "0.0.0.0" << true << QByteArray::fromHex("00000000");
    QTest::newRow("broadcast") << "255.255.255.255" << true << QByteArray::fromHex("FFFFFFFF");
    QTest::newRow("fifthPiece_10.0.0.1.7_ignored") << "10.0.0.1.7" << true << QByteArray::fromHex("0A000001");
    QTest::newRow("tooBig_10.0.0.256_rejected") << "10.0.0.256" << false << QByteArray();
    QTest::newRow("threePieces_10.0.0_rejected") << "10.0.0" << false << QByteArray();
    QTest::newRow("letter_10.0.x.1_rejected") << "10.0.x.1" << false << QByteArray();
    QTest::newRow("negative_rejected") << "10.0.-1.1" << false << QByteArray();
    QTest::newRow("emptyPiece_rejected") << "10..0.1" << false << QByteArray();
    QTest::newRow("trailingDot_rejected") << "10.0.0." << false << QByteArray();
    QTest::newRow("empty_rejected") << "" << false << QByteArray();
}

void TestValueParse::ip()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, bytes);

    qint32 result = 0x55555555;
    QCOMPARE(parseIpText(text, &result), accepted);
    if (!accepted) {
        QCOMPARE(result, 0x55555555);
        return;
    }
    const quint32 u = quint32(result);
    QByteArray got;
    for (int i = 0; i < 4; ++i)
        got.append(char((u >> (8 * i)) & 0xFF));
    QCOMPARE(got.toHex(' '), bytes.toHex(' '));
}

QTEST_GUILESS_MAIN(TestValueParse)
#include "tst_valueparse.moc"
