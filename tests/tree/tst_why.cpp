// Why a row is greyed or hidden: the condition, the values it reads, and the parts that are
// false, for nested conditions the way a user writes them.
#include "format/confformat.h"
#include "tree/confrow.h"
#include "tree/why.h"

#include <QDomDocument>
#include <QtTest>
#include <memory>

class TestWhy : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void falseParts_table_data();
    void falseParts_table();
    void whyLines_bothConditions();

private:
    std::unique_ptr<ConfFormat> format;
};

void TestWhy::initTestCase()
{
    QDomDocument doc;
    QVERIFY(doc.setContent(QByteArray("<Format><byte name='Mode' select='Off|Heat|Cool'/><bool name='Locked'/>"
                                      "<word name='Speed'/><string name='Tag' size='8'/></Format>")));
    format.reset(ConfFormat::create(QStringLiteral("T"), doc.documentElement()));
    QVERIFY(format);
    format->varByName(QStringLiteral("Mode"))->value = 1;
    format->varByName(QStringLiteral("Speed"))->value = 40;
}

void TestWhy::falseParts_table_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("holds: nothing") << "Mode = 1 and Speed > 5" << QStringList();
    QTest::newRow("and: only the false conjunct") << "Mode = 2 and not Locked" << QStringList{"Mode = 2"};
    QTest::newRow("and: both false, in order") << "Speed < 5 AND Mode = 0" << QStringList{"Speed < 5", "Mode = 0"};
    QTest::newRow("or: every alternative") << "Mode = 2 or Locked" << QStringList{"Mode = 2", "Locked"};
    QTest::newRow("nested: into the false alternative's conjuncts")
        << "(Mode = 2 and Speed > 5) or (Locked & Speed = 40)" << QStringList{"Mode = 2", "Locked"};
    QTest::newRow("and binds tighter than or")
        << "Mode = 1 and Speed > 50 or Locked" << QStringList{"Speed > 50", "Locked"};
    QTest::newRow("parentheses around the whole") << "((Mode = 0))" << QStringList{"Mode = 0"};
    QTest::newRow("not of a group stays whole") << "not (Mode = 1 or Locked)" << QStringList{"not (Mode = 1 or Locked)"};
    QTest::newRow("symbols") << "Mode != 1 | Speed <= 3" << QStringList{"Mode != 1", "Speed <= 3"};
    QTest::newRow("a variable named like a keyword prefix") << "Orders = 1" << QStringList{"Orders = 1"};
}

void TestWhy::falseParts_table()
{
    QFETCH(QString, condition);
    QTEST(falseParts(condition, format.get()), "parts");
}

void TestWhy::whyLines_bothConditions()
{
    auto row = ConfRow::variable(QStringLiteral("Fan"), 0);
    row->setConditions(std::unique_ptr<LogicExpr>(LogicExpr::create(QStringLiteral("Mode = 2 and not Locked"))),
                       std::unique_ptr<LogicExpr>(LogicExpr::create(QStringLiteral("Tag > 0 or Nope"))));
    QCOMPARE(whyLines(*row, format.get()),
             (QStringList{"Enabled when: Mode = 2 and not Locked. Now: Mode = 1 (Heat), Locked = 0 (off). False: Mode = 2.",
                          "Shown when: Tag > 0 or Nope. Now: Tag = 0, Nope = 0 (no such variable). False: Tag > 0; Nope."}));
    format->varByName(QStringLiteral("Mode"))->value = 2;
    format->varByName(QStringLiteral("Tag"))->text = QStringLiteral("x");
    QCOMPARE(whyLines(*row, format.get()), QStringList());
    format->varByName(QStringLiteral("Mode"))->value = 1;
    format->varByName(QStringLiteral("Tag"))->text.clear();
}

QTEST_GUILESS_MAIN(TestWhy)
#include "tst_why.moc"
