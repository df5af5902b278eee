#include "format/confformat.h"

#include <QtTest>

class TestCrc16 : public QObject
{
    Q_OBJECT
private slots:
    void publishedVectors_data();
    void publishedVectors();
    void continuesAcrossPieces();
    void appendedCrcChecksToZero();
};

void TestCrc16::publishedVectors_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");
    // CRC-16/MODBUS check value from the CRC catalogue (reveng): "123456789" -> 0x4B37.
    QTest::newRow("modbus check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("empty input keeps init") << QByteArray() << 0xFFFF;
    // Classic Modbus RTU request "01 03 00 00 00 0A": CRC C5CD (sent as CD C5).
    QTest::newRow("modbus read holding registers") << QByteArray::fromHex("01030000000A") << 0xCDC5;
}

void TestCrc16::publishedVectors()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QCOMPARE(int(crc16(0xFFFF, reinterpret_cast<const uchar *>(data.constData()), int(data.size()))), expected);
}

void TestCrc16::continuesAcrossPieces()
{
    const QByteArray a("12345"), b("6789");
    const quint16 first = crc16(0xFFFF, reinterpret_cast<const uchar *>(a.constData()), int(a.size()));
    QCOMPARE(int(crc16(first, reinterpret_cast<const uchar *>(b.constData()), int(b.size()))), 0x4B37);
}

void TestCrc16::appendedCrcChecksToZero()
{
    QByteArray data = QByteArray::fromHex("0400785634126FE2");
    QCOMPARE(int(crc16(0xFFFF, reinterpret_cast<const uchar *>(data.constData()), int(data.size()))), 0);
}

QTEST_GUILESS_MAIN(TestCrc16)
#include "tst_crc16.moc"
