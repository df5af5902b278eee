// The rules a row applies to its own conditions, which the property tree widget and the
// command-line listing both ask: enabled and shown for the current values, and which
// changes call for a fresh evaluation.
#include "format/confformat.h"
#include "tree/confrow.h"
#include "tree/treeloader.h"

#include <QDomDocument>
#include <QtTest>
#include <memory>

namespace {

const char *const FormatXml = "<Format><byte name='a'/><byte name='ab'/><bool name='on'/></Format>";

} // namespace

class TestConfRow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void state_data();
    void state();
    void state_followsValuesAfterLoading();
    void dependsOn_data();
    void dependsOn();

private:
    // The Tree element's top row, built by the loader from inline XML.
    std::unique_ptr<ConfRow> load(const QString &xml);
    void setValue(const char *name, qint32 value);

    std::unique_ptr<ConfFormat> format;
};

void TestConfRow::initTestCase()
{
    QDomDocument doc;
    QVERIFY(doc.setContent(QString::fromLatin1(FormatXml)));
    format.reset(ConfFormat::create(QStringLiteral("R"), doc.documentElement()));
    QVERIFY(format);
}

std::unique_ptr<ConfRow> TestConfRow::load(const QString &xml)
{
    QDomDocument doc;
    if (!doc.setContent(xml))
        return nullptr;
    TreeLoader loader;
    return loader.loadGroup(doc.documentElement(), format.get());
}

void TestConfRow::setValue(const char *name, qint32 value)
{
    format->varByName(QString::fromLatin1(name))->value = value;
}

void TestConfRow::state_data()
{
    QTest::addColumn<QString>("attributes"); // of the row under test, a Var of "on" in a group
    QTest::addColumn<QString>("groupAttributes");
    QTest::addColumn<int>("a");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");

    QTest::newRow("no condition: enabled and shown") << "" << "" << 0 << true << true;
    QTest::newRow("enabled condition false") << "enabled='a = 1'" << "" << 0 << false << true;
    QTest::newRow("enabled condition true") << "enabled='a = 1'" << "" << 1 << true << true;
    QTest::newRow("visible condition false") << "visible='a gt 5'" << "" << 5 << true << false;
    QTest::newRow("both conditions, each on its own")
        << "enabled='a' visible='not a'" << "" << 3 << true << false;
    QTest::newRow("condition that does not compile counts as none") << "enabled='a =='" << "" << 0 << true << true;
    QTest::newRow("empty condition counts as none") << "visible=''" << "" << 0 << true << true;
    QTest::newRow("a greyed and hidden group leaves its row's own state alone")
        << "" << "enabled='a = 9' visible='a = 9'" << 0 << true << true;
}

void TestConfRow::state()
{
    QFETCH(QString, attributes);
    QFETCH(QString, groupAttributes);
    QFETCH(int, a);
    const auto top = load(QStringLiteral("<Tree name='T'><Group name='G' %1><Var var='on' %2/></Group></Tree>")
                              .arg(groupAttributes, attributes));
    QVERIFY(top);
    setValue("a", a);
    const ConfRow *row = top->child(0)->child(0);
    QTEST(row->isEnabled(format.get()), "enabled");
    QTEST(row->isVisible(format.get()), "visible");
}

void TestConfRow::state_followsValuesAfterLoading()
{
    setValue("on", 0);
    const auto top = load(QStringLiteral("<Tree name='T' enabled='on' visible='on'/>"));
    QVERIFY(top);
    QVERIFY(!top->isEnabled(format.get()));
    QVERIFY(!top->isVisible(format.get()));
    setValue("on", 1);
    QVERIFY(top->isEnabled(format.get()));
    QVERIFY(top->isVisible(format.get()));
    // Without a format every variable reads as 0, as with no values at all.
    QVERIFY(!top->isEnabled(nullptr));
}

void TestConfRow::dependsOn_data()
{
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<QString>("var"); // null: every change
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");

    QTest::newRow("every change, both conditions") << "enabled='a' visible='on'" << QString() << true << true;
    QTest::newRow("every change, no condition") << "" << QString() << false << false;
    QTest::newRow("every change, enabled only") << "enabled='a'" << QString() << true << false;
    QTest::newRow("empty name matches nothing") << "enabled='a' visible='on'" << "" << false << false;
    QTest::newRow("named in one condition") << "enabled='a = 1 or on' visible='ab'" << "on" << true << false;
    QTest::newRow("named in both") << "enabled='a' visible='on and a gt 2'" << "a" << true << true;
    QTest::newRow("a longer name is another name") << "enabled='ab' visible='ab'" << "a" << false << false;
    QTest::newRow("letter case counts") << "enabled='a' visible='on'" << "A" << false << false;
    QTest::newRow("a condition that did not compile names nothing") << "enabled='a ==' visible='on'" << "a"
                                                                     << false << false;
}

void TestConfRow::dependsOn()
{
    QFETCH(QString, attributes);
    QFETCH(QString, var);
    const auto top = load(QStringLiteral("<Tree name='T'><Var var='on' %1/></Tree>").arg(attributes));
    QVERIFY(top);
    const ConfRow *row = top->child(0);
    QTEST(row->enabledDependsOn(var), "enabled");
    QTEST(row->visibleDependsOn(var), "visible");
}

QTEST_GUILESS_MAIN(TestConfRow)
#include "tst_confrow.moc"
