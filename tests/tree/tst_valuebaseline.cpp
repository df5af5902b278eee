// The baseline the property tree compares values against: taken from a format, or from
// values by name for another reading of the same description; what counts as changed.
#include "format/confformat.h"
#include "tree/ui/valuebaseline.h"

#include <QDomDocument>
#include <QTest>

#include <functional>
#include <memory>

using Change = std::function<void(ConfVar &)>;
Q_DECLARE_METATYPE(Change)

namespace {

const char *const Format = R"(<Format>
  <byte name="mode" select="off|on"/>
  <float name="gain" format="2"/>
  <string name="tag" size="8"/>
  <file name="blob" size="4"/>
  <struct name="pair"><byte name="a"/><byte name="b"/></struct>
</Format>)";

std::unique_ptr<ConfFormat> makeFormat()
{
    QDomDocument doc;
    if (!doc.setContent(QString::fromLatin1(Format)))
        return nullptr;
    return std::unique_ptr<ConfFormat>(ConfFormat::create(QStringLiteral("B1"), doc.documentElement()));
}

} // namespace

class TestValueBaseline : public QObject
{
    Q_OBJECT
private slots:
    void changed_asTheDeviceWouldStoreIt_data();
    void changed_asTheDeviceWouldStoreIt();
    void namesCountAndValues_followTheFormat();
    void takenFromValuesByName_restFromTheFormat();
    void variableOfAnotherFormat_hasNoBaseline();
};

void TestValueBaseline::changed_asTheDeviceWouldStoreIt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("changed");
    QTest::newRow("select") << "mode" << Change([](ConfVar &v) { v.value = 1; }) << true;
    QTest::newRow("float by its bits: -0 is not 0")
        << "gain" << Change([](ConfVar &v) { v.floatValue = -0.0f; }) << true;
    QTest::newRow("float set to what it was")
        << "gain" << Change([](ConfVar &v) { v.floatValue = 0.0f; }) << false;
    QTest::newRow("string") << "tag" << Change([](ConfVar &v) { v.text = QStringLiteral("x"); })
                            << true;
    QTest::newRow("file: bytes past its length do not count")
        << "blob" << Change([](ConfVar &v) { v.fileData.append('z'); }) << false;
    QTest::newRow("file length") << "blob" << Change([](ConfVar &v) {
        v.fileData = QByteArray("ab");
        v.fileLength = 2;
    }) << true;
    QTest::newRow("a field the kind does not use")
        << "mode" << Change([](ConfVar &v) { v.floatValue = 5.0f; }) << false;
}

void TestValueBaseline::changed_asTheDeviceWouldStoreIt()
{
    QFETCH(QString, name);
    QFETCH(Change, change);
    QFETCH(bool, changed);
    const std::unique_ptr<ConfFormat> format = makeFormat();
    QVERIFY(format);
    ValueBaseline baseline;
    baseline.take(*format);
    ConfVar *var = format->varByName(name);
    QVERIFY(var);
    QVERIFY(!baseline.isChanged(*var));
    change(*var);
    QCOMPARE(baseline.isChanged(*var), changed);
    QCOMPARE(baseline.changedNames(*format), changed ? QStringList{name} : QStringList());
    QCOMPARE(baseline.changedCount(*format), changed ? 1 : 0);
}

void TestValueBaseline::namesCountAndValues_followTheFormat()
{
    const std::unique_ptr<ConfFormat> format = makeFormat();
    QVERIFY(format);
    ValueBaseline baseline;
    baseline.take(*format);
    format->varByName(QStringLiteral("tag"))->text = QStringLiteral("new");
    format->varByName(QStringLiteral("mode"))->value = 1;
    // In name order, as changedNames of the format's values gives them.
    QCOMPARE(baseline.changedNames(*format), (QStringList{"mode", "tag"}));
    QCOMPARE(baseline.changedNames(*format), changedNames(*format, baseline.values(*format)));
    // Structures hold no value of their own; their members do.
    QVERIFY(!baseline.valueOf(*format->varByName(QStringLiteral("pair"))));
    QVERIFY(baseline.valueOf(*format->varByName(QStringLiteral("pair.a"))));
    const ValueSet values = baseline.values(*format);
    QCOMPARE(int(values.size()), 6);
    QCOMPARE(values.at(QStringLiteral("tag")).text, QString());
    QCOMPARE(values.at(QStringLiteral("mode")).value, 0);
    // Taken again, the current values are the baseline.
    baseline.take(*format);
    QCOMPARE(baseline.changedCount(*format), 0);
}

void TestValueBaseline::takenFromValuesByName_restFromTheFormat()
{
    const std::unique_ptr<ConfFormat> format = makeFormat();
    QVERIFY(format);
    ValueSet given;
    given[QStringLiteral("mode")].value = 1;
    given[QStringLiteral("gone")].value = 7; // a name this reading no longer has
    given[QStringLiteral("tag")].text = QStringLiteral("old");
    ValueBaseline baseline;
    baseline.take(*format, given);
    QCOMPARE(baseline.changedNames(*format), (QStringList{"mode", "tag"}));
    QCOMPARE(baseline.valueOf(*format->varByName(QStringLiteral("mode")))->value, 1);
    QCOMPARE(baseline.valueOf(*format->varByName(QStringLiteral("tag")))->text, QStringLiteral("old"));
    QVERIFY(!baseline.isChanged(*format->varByName(QStringLiteral("gain"))));
    QVERIFY(!baseline.values(*format).count(QStringLiteral("gone")));
}

void TestValueBaseline::variableOfAnotherFormat_hasNoBaseline()
{
    const std::unique_ptr<ConfFormat> format = makeFormat();
    const std::unique_ptr<ConfFormat> other = makeFormat();
    QVERIFY(format && other);
    ValueBaseline baseline;
    baseline.take(*format);
    ConfVar *foreign = other->varByName(QStringLiteral("mode"));
    foreign->value = 1;
    QVERIFY(!baseline.valueOf(*foreign));
    QVERIFY(!baseline.isChanged(*foreign));
    baseline.clear();
    QVERIFY(!baseline.valueOf(*format->varByName(QStringLiteral("mode"))));
}

QTEST_GUILESS_MAIN(TestValueBaseline)
#include "tst_valuebaseline.moc"
