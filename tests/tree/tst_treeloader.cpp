#include "tests/support/diagcapture.h"
#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/diag.h"
#include "tree/confrow.h"
#include "tree/treeloader.h"

#include <QDomDocument>
#include <QtTest>
#include <memory>

// Offsets (ids): a 0, b 1, p 3 (p.x 3, p.y 7), ch[0] 11 (mode 11, rate 12), ch[1] 14 (mode 14,
// rate 15), s 17.
static const char *const FormatXml =
    "<Format>"
    "<byte name='a'/><word name='b'/>"
    "<struct name='p'><dword name='x'/><float name='y'/></struct>"
    "<struct name='ch[2]'><byte name='mode'/><word name='rate'/></struct>"
    "<string name='s' size='4'/>"
    "</Format>";

// One line per row, two blanks per level: a group as its title, a variable as label and
// "#id"; "+" when it starts expanded, e{...} and v{...} for its compiled conditions.
static void dump(const ConfRow *row, int level, QString &out)
{
    out += QString(level * 2, QLatin1Char(' ')) + row->label();
    if (!row->isGroup())
        out += QStringLiteral(" #%1").arg(row->varId());
    if (row->startExpanded())
        out += QStringLiteral(" +");
    if (row->enabledCondition())
        out += QStringLiteral(" e{%1}").arg(row->enabledCondition()->source());
    if (row->visibleCondition())
        out += QStringLiteral(" v{%1}").arg(row->visibleCondition()->source());
    out += QLatin1Char('\n');
    for (int i = 0; i < row->childCount(); ++i)
        dump(row->child(i), level + 1, out);
}

static QString dump(const ConfRow *top)
{
    QString out;
    dump(top, 0, out);
    return out;
}

static QString nested(const QString &open, const QString &inner, const QString &close, int count)
{
    return open.repeated(count) + inner + close.repeated(count);
}

// Macros m0..m<count-1>: m0 is a group with one variable row, each further one a group
// that uses the one before; the last is used once, so expansions nest count deep.
static QString macroChain(int count)
{
    QString tree = QStringLiteral("<Tree name='T'><Def template='m0' name='G0'><Var var='a'/></Def>");
    for (int i = 1; i < count; ++i)
        tree += QStringLiteral("<Def template='m%1' name='G%1'><Group template='m%2'/></Def>").arg(i).arg(i - 1);
    return tree + QStringLiteral("<Group template='m%1'/></Tree>").arg(count - 1);
}

class TestTreeLoader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void load_data();
    void load();
    void descriptions_data();
    void descriptions();
    void failure_data();
    void failure();
    void macroText_isDefWithoutTemplate();
    void macros_outliveDescriptions_laterDefReplaces();
    void loadTwice_sameRowsDocumentUntouched();
    void deepNesting_withinBounds_loads();

private:
    std::unique_ptr<ConfRow> loadTree(TreeLoader &loader, const QString &xml);
    std::unique_ptr<ConfFormat> format;
};

void TestTreeLoader::initTestCase()
{
    QDomDocument doc;
    QVERIFY(doc.setContent(QString::fromLatin1(FormatXml)));
    format.reset(ConfFormat::create(QStringLiteral("T"), doc.documentElement()));
    QVERIFY(format);
    QCOMPARE(format->dataSize(), 21);
}

std::unique_ptr<ConfRow> TestTreeLoader::loadTree(TreeLoader &loader, const QString &xml)
{
    QDomDocument doc;
    QString message;
    int line = 0;
    if (!doc.setContent(xml, &message, &line)) {
        qWarning("test XML does not parse: %s at line %d", qPrintable(message), line);
        return nullptr;
    }
    return loader.loadGroup(doc.documentElement(), format.get());
}

void TestTreeLoader::load_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("tree without children") << "<Tree name='Top'/>" << "Top\n" << QByteArray();
    QTest::newRow("unnamed tree and group") << "<Tree><Group/></Tree>" << "Unnamed\n  Unnamed\n" << QByteArray();
    QTest::newRow("empty name is a name") << "<Tree name=''/>" << "\n" << QByteArray();
    QTest::newRow("variable labels")
        << "<Tree name='T'><Var var='a'/><Var var='b' name='Bee'/></Tree>"
        << "T\n  a #0\n  Bee #1\n" << QByteArray();
    QTest::newRow("structure ids are those of their first member")
        << "<Tree name='T'><Var var='p'/><Var var='p.y'/><Var var='ch[1]'/><Var var='ch[1].rate'/></Tree>"
        << "T\n  p #3\n  p.y #7\n  ch[1] #14\n  ch[1].rate #15\n" << QByteArray();
    QTest::newRow("other nodes skipped")
        << "<Tree name='T'>text<!-- note --><Other var='a'/><Var var='s'/><?pi x?><var var='a'/></Tree>"
        << "T\n  s #17\n" << QByteArray();
    QTest::newRow("document order and nesting")
        << "<Tree name='T'><Var var='a'/><Group name='G1'><Var var='b'/><Group name='G2'/></Group>"
           "<Var var='s'/></Tree>"
        << "T\n  a #0\n  G1\n    b #1\n    G2\n  s #17\n" << QByteArray();
    QTest::newRow("expand values")
        << "<Tree name='T' expand='yes'><Group name='t' expand='true'/><Group name='y' expand='yes'/>"
           "<Group name='T' expand='True'/><Group name='1' expand='1'/><Group name='none'/></Tree>"
        << "T +\n  t +\n  y +\n  T\n  1\n  none\n" << QByteArray();
    QTest::newRow("conditions")
        << "<Tree name='T' enabled='a = 1'><Group name='G' visible='b gt 2' enabled=''>"
           "<Var var='a' enabled='b = 1' visible='not a'/></Group></Tree>"
        << "T e{a = 1}\n  G v{b gt 2}\n    a #0 e{b = 1} v{not a}\n" << QByteArray();
    QTest::newRow("condition that does not compile leaves no condition")
        << "<Tree name='T'><Group name='G' enabled='  ' visible='a'><Var var='a' enabled='a == 1'/></Group></Tree>"
        << "T\n  G v{a}\n    a #0\n"
        << QByteArray("LogicExpr: parse error '  '\nLogicExpr: parse error 'a == 1'\n");
    QTest::newRow("macro with parameters")
        << "<Tree name='T'><Def template='chan' var='ch[%i%].mode' name='Mode %i%' enabled='ch[%i%].rate ne 0'/>"
           "<Var template='chan' i='0'/><Var template='chan' i='1'/></Tree>"
        << "T\n  Mode 0 #11 e{ch[0].rate ne 0}\n  Mode 1 #14 e{ch[1].rate ne 0}\n" << QByteArray();
    QTest::newRow("group macro using a variable macro")
        << "<Tree name='T'><Def template='v' var='%var%' name='%label%'/>"
           "<Def template='g' name='Channel %i%' expand='yes' visible='ch[%i%].mode'>"
           "<Var template='v' var='ch[%i%].mode' label='Mode'/><Var template='v' var='ch[%i%].rate' label='Rate'/></Def>"
           "<Group template='g' i='0'/><Group template='g' i='1'/></Tree>"
        << "T\n  Channel 0 + v{ch[0].mode}\n    Mode #11\n    Rate #12\n"
           "  Channel 1 + v{ch[1].mode}\n    Mode #14\n    Rate #15\n" << QByteArray();
    QTest::newRow("definition inside a macro body")
        << "<Tree name='T'><Def template='outer' name='O'><Def template='inner' var='a'/><Var template='inner'/></Def>"
           "<Group template='outer'/><Var template='inner' name='x'/></Tree>"
        << "T\n  O\n    a #0\n  a #0\n" << QByteArray();
    QTest::newRow("parameters unmentioned or missing")
        << "<Tree name='T'><Def template='m' var='a' name='%n% %zz% 50%'/><Var template='m' n='N' extra='1'/></Tree>"
        << "T\n  N %zz% 50% #0\n" << QByteArray();
    QTest::newRow("parameter value not searched again")
        << "<Tree name='T'><Def template='m' var='a' name='%x%/%y%'/><Var template='m' x='%y%' y='Y'/></Tree>"
        << "T\n  %y%/Y #0\n" << QByteArray();
    QTest::newRow("unknown element with a macro skipped")
        << "<Tree name='T'><Def template='m' var='a'/><Other template='m'/></Tree>" << "T\n" << QByteArray();
    QTest::newRow("later definition replaces")
        << "<Tree name='T'><Def template='m' var='a'/><Var template='m'/><Def template='m' var='b'/>"
           "<Var template='m'/></Tree>"
        << "T\n  a #0\n  b #1\n" << QByteArray();
    QTest::newRow("definition in a group serves later groups")
        << "<Tree name='T'><Group name='G'><Def template='m' var='s'/></Group><Group name='H'><Var template='m'/></Group></Tree>"
        << "T\n  G\n  H\n    s #17\n" << QByteArray();
    QTest::newRow("macro named by empty template")
        << "<Tree name='T'><Def var='b'/><Var template=''/></Tree>" << "T\n  b #1\n" << QByteArray();
}

void TestTreeLoader::load()
{
    QFETCH(QString, tree);
    QFETCH(QString, expected);
    QFETCH(QByteArray, out);

    TreeLoader loader;
    DiagCapture diag;
    auto top = loadTree(loader, tree);
    QVERIFY(top);
    QCOMPARE(dump(top.get()), expected);
    QCOMPARE(diag.out, out);
    QCOMPARE(diag.err, QByteArray());
}

void TestTreeLoader::descriptions_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("rowPath"); // child indexes from the top row, "" for the top row
    QTest::addColumn<QString>("expected");

    QTest::newRow("group without Desc has empty text")
        << "<Tree name='T'><Var var='a'>x</Var></Tree>" << "" << "";
    QTest::newRow("two Desc paragraphs in order, attributes dropped")
        << "<Tree name='T'>\n  <Desc class='x'>Hello <b>bold</b></Desc>\n  <Var var='a'/>\n  <Desc>two</Desc>\n</Tree>"
        << "" << "    <p>Hello <b>bold</b>\n    </p>\n    <p>two</p>\n";
    QTest::newRow("Desc after text keeps no indentation")
        << "<Tree name='T'>text<Desc>d</Desc></Tree>" << "" << "<p>d</p>\n";
    QTest::newRow("nested markup is indented")
        << "<Tree name='T'><Desc><ul><li>one</li></ul></Desc></Tree>" << ""
        << "    <p>\n        <ul>\n            <li>one</li>\n        </ul>\n    </p>\n";
    QTest::newRow("variable paragraph")
        << "<Tree name='T'><Var var='a' name='A' enabled='b'>The <i>a</i>\n value</Var></Tree>" << "0"
        << "    <p>The <i>a</i>\n value</p>\n";
    QTest::newRow("empty variable paragraph") << "<Tree name='T'><Var var='a'/></Tree>" << "0" << "    <p/>\n";
    QTest::newRow("Desc inside a variable belongs to it")
        << "<Tree name='T'><Var var='a'>x<Desc>y</Desc></Var></Tree>" << "0" << "    <p>x<Desc>y</Desc>\n    </p>\n";
    QTest::newRow("... and not to the group")
        << "<Tree name='T'><Var var='a'>x<Desc>y</Desc></Var></Tree>" << "" << "";
    QTest::newRow("group description in a nested group")
        << "<Tree name='T'><Desc>top</Desc><Group name='G'><Desc>inner</Desc></Group></Tree>" << "0"
        << "    <p>inner</p>\n";
    QTest::newRow("variable through a macro, parameters left out")
        << "<Tree name='T'><Def template='m' var='ch[%i%].mode'>Mode of channel <b>%i%</b></Def>"
           "<Var template='m' i='1' name='ignored'/></Tree>"
        << "0" << "    <p>Mode of channel <b>1</b>\n    </p>\n";
    QTest::newRow("Desc through a macro")
        << "<Tree name='T'><Def template='d' class='c'>Note %x%</Def><Desc template='d' x='1'/></Tree>" << ""
        << "    <p>Note 1</p>\n";
    QTest::newRow("Desc in a macro-made group")
        << "<Tree name='T'><Def template='g' name='G%i%'><Desc>Group %i%</Desc></Def><Group template='g' i='7'/></Tree>"
        << "0" << "    <p>Group 7</p>\n";
}

void TestTreeLoader::descriptions()
{
    QFETCH(QString, tree);
    QFETCH(QString, rowPath);
    QFETCH(QString, expected);

    TreeLoader loader;
    auto top = loadTree(loader, tree);
    QVERIFY(top);
    const ConfRow *row = top.get();
    for (const QString &index : rowPath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QVERIFY(index.toInt() < row->childCount());
        row = row->child(index.toInt());
    }
    const QString desc = row->desc();
    QCOMPARE(desc, expected);
    QVERIFY(!desc.isNull());
}

void TestTreeLoader::failure_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QStringList>("macros"); // the table afterwards

    const QString before = QStringLiteral("<Def template='before' var='a'/>");
    const QString after = QStringLiteral("<Def template='after' var='a'/>");

    QTest::newRow("variable row without var")
        << "<Tree name='T'>" + before + "<Var var='a'/><Group name='G'><Var name='x'/></Group>" + after + "</Tree>"
        << QByteArray("No 'var' attribute\n") << QByteArray() << QStringList{"before"};
    QTest::newRow("unknown variable deep inside groups")
        << "<Tree name='T'>" + before + "<Group><Group><Var var='a'/><Group><Var var='nope'/></Group></Group></Group>"
               + after + "</Tree>"
        << QByteArray("Variable 'nope' not found\n") << QByteArray() << QStringList{"before"};
    QTest::newRow("variable names are case-sensitive")
        << "<Tree name='T'><Var var='A'/></Tree>" << QByteArray("Variable 'A' not found\n") << QByteArray()
        << QStringList();
    QTest::newRow("empty var names nothing")
        << "<Tree name='T'><Var var=''/></Tree>" << QByteArray("Variable '' not found\n") << QByteArray()
        << QStringList();
    QTest::newRow("macro used before its definition")
        << "<Tree name='T'>" + before + "<Var template='m'/><Def template='m' var='a'/></Tree>"
        << QByteArray("Macro 'm' not found !\n") << QByteArray() << QStringList{"before"};
    QTest::newRow("unknown element using an undefined macro")
        << "<Tree name='T'><Other template='m'/></Tree>" << QByteArray("Macro 'm' not found !\n") << QByteArray()
        << QStringList();
    QTest::newRow("macro without var makes a row without var")
        << "<Tree name='T'><Def template='m' name='x'/><Group><Var template='m' var='a'/></Group></Tree>"
        << QByteArray("No 'var' attribute\n") << QByteArray() << QStringList{"m"};
    // One attribute only: the DOM library writes several in an order of its own.
    QTest::newRow("parameter with < breaks the expansion")
        << "<Tree name='T'><Def template='m' name='%n%'/><Group template='m' n='a&lt;b'/></Tree>"
        << QByteArray() << QByteArray("Parse error for macro m: Unexpected '<'.. At line 1, column 17.\n")
        << QStringList{"m"};
    QTest::newRow("parameter with & breaks the expansion")
        << "<Tree name='T'><Def template='m' name='%n%'/><Group template='m' n='a&amp;b'/></Tree>"
        << QByteArray() << QByteArray("Parse error for macro m: Expected ';', but got '\"'.. At line 1, column 19.\n")
        << QStringList{"m"};
    QTest::newRow("macro that uses itself")
        << "<Tree name='T'><Def template='r' name='R'><Var var='a'/><Group template='r'/></Def><Group template='r'/></Tree>"
        << QByteArray("Macro 'r' nested too deeply\n") << QByteArray() << QStringList{"r"};
    QTest::newRow("macros that use each other")
        << "<Tree name='T'><Def template='a' name='A'><Group template='b'/></Def>"
           "<Def template='b' name='B'><Group template='a'/></Def><Group template='a'/></Tree>"
        << QByteArray("Macro 'a' nested too deeply\n") << QByteArray() << QStringList{"a", "b"};
    QTest::newRow("macro that redefines and uses itself")
        << "<Tree name='T'><Def template='r' name='R'><Def template='r' name='R2'><Group template='r'/></Def>"
           "<Group template='r'/></Def><Group template='r'/></Tree>"
        << QByteArray("Macro 'r' nested too deeply\n") << QByteArray() << QStringList{"r"};
    QTest::newRow("parameter that doubles at each use")
        << "<Tree name='T'><Def template='d' name='D'><Group template='d' p='%p%%p%'/></Def>"
           "<Group template='d' p='" + QString(1000, QLatin1Char('x')) + "'/></Tree>"
        << QByteArray("Macro 'd' expands beyond 16777216 characters\n") << QByteArray() << QStringList{"d"};
    QStringList chainMacros;
    for (int i = 0; i < 65; ++i)
        chainMacros << QStringLiteral("m%1").arg(i);
    chainMacros.sort();
    QTest::newRow("65 nested macro uses") << macroChain(65) << QByteArray("Macro 'm0' nested too deeply\n")
                                          << QByteArray() << chainMacros;
    QTest::newRow("257 nested groups")
        << nested("<Group name='G'>", "<Var var='a'/>", "</Group>", 257).prepend("<Tree name='T'>").append("</Tree>")
        << QByteArray("Group nesting too deep\n") << QByteArray() << QStringList();
    QTest::newRow("20000 nested groups")
        << nested("<Group>", "", "</Group>", 20000).prepend("<Tree>").append("</Tree>")
        << QByteArray("Group nesting too deep\n") << QByteArray() << QStringList();
    QTest::newRow("description markup nested 257 deep")
        << "<Tree name='T'>" + before + "<Desc>" + nested("<b>", "x", "</b>", 257) + "</Desc></Tree>"
        << QByteArray("Markup in 'Desc' nested too deeply\n") << QByteArray() << QStringList{"before"};
    QTest::newRow("variable markup nested 20000 deep")
        << "<Tree name='T'><Var var='a'>" + nested("<b>", "x", "</b>", 20000) + "</Var></Tree>"
        << QByteArray("Markup in 'Var' nested too deeply\n") << QByteArray() << QStringList();
    QTest::newRow("macro body nested 20000 deep")
        << "<Tree name='T'><Def template='m'>" + nested("<b>", "x", "</b>", 20000) + "</Def></Tree>"
        << QByteArray("Markup in 'Def' nested too deeply\n") << QByteArray() << QStringList();
}

void TestTreeLoader::failure()
{
    QFETCH(QString, tree);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QStringList, macros);

    TreeLoader loader;
    DiagCapture diag;
    auto top = loadTree(loader, tree);
    QVERIFY(!top);
    QCOMPARE(diag.out, out);
    QCOMPARE(diag.err, err);
    QCOMPARE(loader.macros.keys(), macros);
}

void TestTreeLoader::macroText_isDefWithoutTemplate()
{
    TreeLoader loader;
    auto top = loadTree(loader, QStringLiteral(
        "<Tree name='T'>\n  <Def template='m' var='%v%'>\n    <b>%v%</b> is the <i>value</i>\n  </Def>\n"
        "  <Group>text<Def template='n'/></Group>\n</Tree>"));
    QVERIFY(top);
    QCOMPARE(loader.macros.value(QStringLiteral("m")),
             QStringLiteral("    <Def var=\"%v%\">\n        <b>%v%</b> is the <i>value</i>\n    </Def>\n"));
    QCOMPARE(loader.macros.value(QStringLiteral("n")), QStringLiteral("<Def/>\n"));
}

void TestTreeLoader::macros_outliveDescriptions_laterDefReplaces()
{
    TreeLoader loader;
    QVERIFY(loadTree(loader, QStringLiteral("<Tree><Def template='old' var='b'/><Def template='m' var='a'/></Tree>")));

    // A later description uses the earlier macro, then replaces it.
    auto top = loadTree(loader, QStringLiteral(
        "<Tree name='T'><Var template='old'/><Var template='m'/><Def template='m' var='s'/><Var template='m'/></Tree>"));
    QVERIFY(top);
    QCOMPARE(dump(top.get()), QStringLiteral("T\n  b #1\n  a #0\n  s #17\n"));

    // A failing description keeps the macros it defined before the error.
    DiagCapture diag;
    QVERIFY(!loadTree(loader, QStringLiteral("<Tree><Def template='m' var='p.x'/><Var var='zz'/></Tree>")));
    auto third = loadTree(loader, QStringLiteral("<Tree name='T'><Var template='m'/><Var template='old'/></Tree>"));
    QVERIFY(third);
    QCOMPARE(dump(third.get()), QStringLiteral("T\n  p.x #3\n  b #1\n"));
    QCOMPARE(diag.out, QByteArray("Variable 'zz' not found\n"));
}

// The DOM keeps attributes in a hash whose order changes when an attribute is removed
// and set again, so documents are compared with their attributes sorted by name.
static QString canonical(const QDomNode &node)
{
    if (!node.isElement())
        return node.nodeValue();
    const QDomElement e = node.toElement();
    QStringList attributes;
    const QDomNamedNodeMap map = e.attributes();
    for (int i = 0; i < map.count(); ++i)
        attributes << map.item(i).nodeName() + QLatin1Char('=') + map.item(i).nodeValue();
    attributes.sort();
    QString text = QLatin1Char('<') + e.tagName() + QLatin1Char(' ') + attributes.join(QLatin1Char(' ')) + QLatin1Char('>');
    for (QDomNode child = e.firstChild(); !child.isNull(); child = child.nextSibling())
        text += canonical(child);
    return text + QLatin1String("</") + e.tagName() + QLatin1Char('>');
}

void TestTreeLoader::loadTwice_sameRowsDocumentUntouched()
{
    QDomDocument doc;
    QVERIFY(doc.setContent(QStringLiteral(
        "<Tree name='T'><Desc>d</Desc><Def template='m' var='ch[%i%].mode'>M</Def>"
        "<Group name='G' expand='yes'><Var template='m' i='0'/><Var var='a' name='A'>x</Var></Group></Tree>")));
    const QString before = canonical(doc.documentElement());

    TreeLoader loader;
    const std::unique_ptr<ConfRow> first = loader.loadGroup(doc.documentElement(), format.get());
    const std::unique_ptr<ConfRow> second = loader.loadGroup(doc.documentElement(), format.get());
    QVERIFY(first);
    QVERIFY(second);
    QCOMPARE(dump(second.get()), dump(first.get()));
    QCOMPARE(dump(first.get()), QStringLiteral("T\n  G +\n    ch[0].mode #11\n    A #0\n"));
    QCOMPARE(second->desc(), first->desc());
    QCOMPARE(canonical(doc.documentElement()), before);
}

void TestTreeLoader::deepNesting_withinBounds_loads()
{
    TreeLoader loader;
    DiagCapture diag;
    auto groups = loadTree(loader, nested("<Group name='G'>", "<Var var='a'/>", "</Group>", 256)
                                       .prepend("<Tree name='T'>").append("</Tree>"));
    QVERIFY(groups);
    const ConfRow *row = groups.get();
    for (int i = 0; i < 256; ++i) {
        QCOMPARE(row->childCount(), 1);
        row = row->child(0);
        QCOMPARE(row->label(), QStringLiteral("G"));
        QVERIFY(row->isGroup());
    }
    QCOMPARE(row->childCount(), 1);
    QVERIFY(!row->child(0)->isGroup());
    QCOMPARE(row->child(0)->varId(), 0);

    auto markup = loadTree(loader, "<Tree name='T'><Desc>" + nested("<b>", "x", "</b>", 256) + "</Desc></Tree>");
    QVERIFY(markup);
    QVERIFY(markup->desc().contains(QLatin1String("x")));

    auto chain = loadTree(loader, macroChain(64));
    QVERIFY(chain);
    row = chain.get();
    for (int i = 63; i >= 0; --i) {
        QCOMPARE(row->childCount(), 1);
        row = row->child(0);
        QCOMPARE(row->label(), QStringLiteral("G%1").arg(i));
    }
    QCOMPARE(diag.out, QByteArray());
    QCOMPARE(diag.err, QByteArray());
}

QTEST_GUILESS_MAIN(TestTreeLoader)
#include "tst_treeloader.moc"
