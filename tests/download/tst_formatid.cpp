#include "format/formatid.h"

#include <QtTest>

class TestFormatId : public QObject
{
    Q_OBJECT
private slots:
    void isSafeFormatId_data();
    void isSafeFormatId();
};

void TestFormatId::isSafeFormatId_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("safe");

    QTest::newRow("plain id") << QStringLiteral("VANT-DEMO-1") << true;
    QTest::newRow("blank inside") << QStringLiteral("VANT DEMO") << true;
    QTest::newRow("cyrillic") << QString::fromUtf8("\xD0\x9F\xD0\xA3-1") << true;
    QTest::newRow("single dots") << QStringLiteral("v1.2.3") << true;
    QTest::newRow("lone dot") << QStringLiteral(".") << true;
    QTest::newRow("root without id") << QStringLiteral("noname") << true;

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("slash") << QStringLiteral("a/b") << false;
    QTest::newRow("leading slash") << QStringLiteral("/etc/passwd") << false;
    QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
    QTest::newRow("dot dot") << QStringLiteral("..") << false;
    QTest::newRow("dot dot inside") << QStringLiteral("a..b") << false;
    QTest::newRow("parent path") << QStringLiteral("../x") << false;
    QTest::newRow("nul") << QString(QChar(0)) + QStringLiteral("x") << false;
    QTest::newRow("line feed") << QStringLiteral("a\nb") << false;
    QTest::newRow("carriage return") << QStringLiteral("a\r") << false;
    QTest::newRow("tab") << QStringLiteral("a\tb") << false;
    QTest::newRow("delete") << QStringLiteral("a\x7F") << false;
    QTest::newRow("C1 control") << QString(QChar(0x85)) << false;
}

void TestFormatId::isSafeFormatId()
{
    QFETCH(QString, id);
    QFETCH(bool, safe);
    QCOMPARE(::isSafeFormatId(id), safe);
}

QTEST_GUILESS_MAIN(TestFormatId)
#include "tst_formatid.moc"
