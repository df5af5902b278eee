// Lint of description files: every fault the loaders report, at the element at fault and with
// the rest of the file still checked, and every kind of warning.
#include "tree/lint.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A description whose format lines start on line 2 and whose tree lines start on the line
// after the last format line plus one ("</Format><Tree>" stands between them).
QByteArray described(const QByteArray &format, const QByteArray &tree)
{
    return "<D id=\"t\"><Format>\n" + format + "</Format><Tree>\n" + tree + "</Tree></D>\n";
}

// Format lines for tree cases: one variable on line 2, tree lines from line 4.
const QByteArray OneByte = "<byte name=\"a\"/>\n";
const QByteArray ShowsA = "<Var var=\"a\"/>\n";

// "LINE:COLUMN severity code", and for an error the loader's line, with the folder left out.
QString brief(const LintFinding &f, const QString &folder)
{
    QString text = QStringLiteral("%1:%2 %3 %4")
                       .arg(f.location.line)
                       .arg(f.location.column)
                       .arg(f.severity == DiagSeverity::Warning ? "warning" : "error", f.code);
    if (f.severity == DiagSeverity::Error)
        text += QLatin1Char(' ') + QString(f.message).remove(folder + QLatin1Char('/'));
    return text;
}

// Lints the text as the file of that name; a null text lints a file that is not there.
QStringList lint(const QByteArray &xml, const QString &fileName = QStringLiteral("t.xml"))
{
    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    QFile file(path);
    if (!xml.isNull() && !(file.open(QIODevice::WriteOnly) && file.write(xml) == xml.size()))
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    QStringList lines;
    for (const LintFinding &f : lintDescriptionFile(path)) {
        if (f.location.file != path)
            lines << QStringLiteral("finding about another file: ") + f.location.file;
        lines << brief(f, dir.path());
    }
    return lines;
}

QByteArray repeated(const QByteArray &text, int count)
{
    return text.repeated(count);
}

} // namespace

class TestLint : public QObject
{
    Q_OBJECT
private slots:
    void findings_data();
    void findings();
    void badFormatId_isFoundFromTheFileName();
};

void TestLint::findings_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("expected");

    // The file as a whole.
    QTest::newRow("no file") << QByteArray() << QStringList{"0:0 error xml-error Can't open file 't.xml' for reading"};
    QTest::newRow("not well-formed, at the parser's position")
        << QByteArray("<D id=\"t\">\n<Format>\n<byte name=\"a\">\n</Format></D>\n")
        << QStringList{"4:9 error xml-error Parse error for file 't.xml': Opening and ending tag mismatch.. "
                       "At line 4, column 9."};
    QTest::newRow("root id other than the file name, rest still checked")
        << QByteArray("<D id=\"u\"><Format>\n<byte/>\n</Format><Tree/></D>\n")
        << QStringList{"1:10 error description-error Bad ID", "2:7 error format-error No 'name' property"};
    QTest::newRow("second Format and second Tree")
        << QByteArray("<D id=\"t\">\n<Format/>\n<Tree/>\n<Format/>\n<Tree/>\n</D>\n")
        << QStringList{"4:9 error description-error Duplicate format", "5:7 error description-error Duplicate tree"};
    QTest::newRow("tree before format, checked against it")
        << QByteArray("<D id=\"t\">\n<Tree>\n<Var var=\"b\" visible=\"c\"/>\n</Tree>\n"
                      "<Format><byte name=\"b\"/></Format>\n</D>\n")
        << QStringList{"2:6 error description-error No format before tree", "3:26 warning unknown-variable"};
    QTest::newRow("no format") << QByteArray("<D id=\"t\"/>\n")
                               << QStringList{"1:11 error description-error No format in file"};
    QTest::newRow("no tree, the format still checked")
        << QByteArray("<D id=\"t\">\n<Format>\n<float name=\"f\"/>\n</Format>\n</D>\n")
        << QStringList{"1:10 error description-error No tree in file", "3:17 warning float-without-min"};

    // The Format element: each fault at its element; a refused variable stands in as a byte.
    QTest::newRow("no name") << described("<byte/>\n", "") << QStringList{"2:7 error format-error No 'name' property"};
    QTest::newRow("duplicate name")
        << described("<byte name=\"a\"/>\n<word name=\"a\"/>\n", ShowsA)
        << QStringList{"3:16 error format-error Duplicate var name 'a'"};
    QTest::newRow("duplicate name through an array")
        << described("<byte name=\"t[2]\"/>\n<byte name=\"t[1]\"/>\n", "<Var var=\"t[0]\"/>\n<Var var=\"t[1]\"/>\n")
        << QStringList{"3:19 error format-error Duplicate var name 't[0]'"};
    QTest::newRow("bad array names")
        << described("<byte name=\"t[3\"/>\n<byte name=\"t[0]\"/>\n<byte name=\"u[x]\"/>\n"
                     "<byte name=\"v[101]\"/>\n",
                     "")
        << QStringList{"2:18 error format-error Bad array format", "3:19 error format-error Bad array dim",
                       "4:19 error format-error Bad array dim", "5:21 error format-error Bad array dim"};
    QTest::newRow("string and file without size, the rows naming them still bound")
        << described("<string name=\"s\"/>\n<file name=\"f\"/>\n", "<Var var=\"s\"/>\n<Var var=\"f\"/>\n")
        << QStringList{"2:18 error format-error No 'size' property", "3:16 error format-error No 'size' property"};
    QTest::newRow("file too small") << described("<file name=\"f\" size=\"1\"/>\n", "")
                                    << QStringList{"2:25 error format-error File 'f' too small"};
    QTest::newRow("unknown type") << described("<int name=\"i\"/>\n", "<Var var=\"i\"/>\n")
                                  << QStringList{"2:15 error format-error Bad type 'int'"};
    QTest::newRow("negative pad") << described("<pad size=\"-1\"/>\n", "")
                                  << QStringList{"2:16 error format-error Bad pad size -1"};
    QTest::newRow("data area too large")
        << described("<pad size=\"65535\"/>\n<byte name=\"a\"/>\n", "")
        << QStringList{"3:16 error format-error Data area too large (65536 bytes)"};
    QTest::newRow("too many variables")
        << described("<struct name=\"a[100]\"><struct name=\"b[100]\"><struct name=\"c[100]\"/>"
                     "</struct></struct>\n",
                     "")
        << QStringList{"2:67 error format-error Too many variables (more than 262144)"};
    QTest::newRow("structures nested too deeply")
        << described(repeated("<struct name=\"n\">", 65) + repeated("</struct>", 65) + "\n", "")
        << QStringList{"2:1105 error format-error Struct '" + QStringLiteral("n.").repeated(64)
                       + "n' nested too deeply"};

    // The Tree element: a row or macro use at fault is taken out and the rest still read.
    QTest::newRow("Var without var") << described(OneByte, ShowsA + "<Var/>\n")
                                     << QStringList{"5:6 error tree-error No 'var' attribute"};
    QTest::newRow("variable not found") << described(OneByte, ShowsA + "<Var var=\"b\"/>\n")
                                        << QStringList{"5:14 error tree-error Variable 'b' not found"};
    QTest::newRow("macro not found") << described(OneByte, ShowsA + "<Var template=\"m\"/>\n")
                                     << QStringList{"5:19 error tree-error Macro 'm' not found !"};
    QTest::newRow("expansion not well-formed")
        << described(OneByte, ShowsA + "<Def template=\"m\" name=\"%n%\"/>\n<Group template=\"m\" n=\"a&lt;b\"/>\n")
        << QStringList{"6:32 error tree-error Parse error for macro m: Unexpected '<'.. At line 1, column 17."};
    QTest::newRow("macro that uses itself")
        << described(OneByte,
                     ShowsA + "<Def template=\"r\" name=\"R\"><Group template=\"r\"/></Def>\n<Group template=\"r\"/>\n")
        << QStringList{"6:21 error tree-error Macro 'r' nested too deeply"};
    QTest::newRow("groups nested too deeply through a macro")
        << described(OneByte, ShowsA + "<Def template=\"g\">" + repeated("<Group>", 4) + "<Group template=\"g\"/>"
                                  + repeated("</Group>", 4) + "</Def>\n<Group template=\"g\"/>\n")
        << QStringList{"6:21 error tree-error Group nesting too deep"};
    QTest::newRow("markup nested too deeply through a parameter")
        << described(OneByte, ShowsA + "<Def template=\"m\">%x%</Def>\n<Desc template=\"m\" x=\""
                                  + repeated("&lt;b&gt;", 257) + "x" + repeated("&lt;/b&gt;", 257) + "\"/>\n")
        << QStringList{"6:4909 error tree-error Markup in 'Desc' nested too deeply"};
    QTest::newRow("parameter that doubles at each use")
        << described(OneByte, ShowsA + "<Def template=\"d\" name=\"D\"><Group template=\"d\" p=\"%p%%p%\"/></Def>\n"
                                       "<Group template=\"d\" p=\"" + repeated("x", 1000) + "\"/>\n")
        << QStringList{"6:1026 error tree-error Macro 'd' expands beyond 16777216 characters"};
    QTest::newRow("fault inside a macro-made group, at the use")
        << described(OneByte, "<Def template=\"g\" name=\"G\">\n<Var var=\"a\"/>\n<Var var=\"%v%\"/>\n</Def>\n"
                              "<Group template=\"g\" v=\"b\"/>\n")
        << QStringList{"8:27 error tree-error Variable 'b' not found"};
    QTest::newRow("condition that does not compile, the row kept")
        << described(OneByte, "<Var var=\"a\" enabled=\"a &amp;&amp; 1\"/>\n")
        << QStringList{"4:39 error bad-condition LogicExpr: parse error 'a && 1'"};
    QTest::newRow("faults everywhere, in file order")
        << described("<int name=\"i\"/>\n<byte name=\"a\"/>\n<byte name=\"a\"/>\n",
                     "<Var var=\"i\" visible=\"(\"/>\n<Var var=\"a\" visible=\"x\"/>\n<Var var=\"b\"/>\n")
        << QStringList{"2:15 error format-error Bad type 'int'",
                       "4:16 error format-error Duplicate var name 'a'",
                       "6:26 error bad-condition LogicExpr: parse error '('",
                       "7:26 warning unknown-variable",
                       "8:14 error tree-error Variable 'b' not found"};

    // Warnings.
    QTest::newRow("condition naming an unknown variable, also through a macro")
        << described(OneByte, "<Var var=\"a\" visible=\"b = 1\"/>\n<Def template=\"m\" var=\"a\" enabled=\"%c%\"/>\n"
                              "<Var template=\"m\" c=\"a or c\"/>\n")
        << QStringList{"4:30 warning unknown-variable", "6:30 warning unknown-variable"};
    QTest::newRow("condition naming no variable")
        << described(OneByte, "<Group name=\"G\" enabled=\"1\">\n<Var var=\"a\" visible=\"not 0\"/>\n</Group>\n")
        << QStringList{"4:28 warning constant-condition", "5:30 warning constant-condition"};
    QTest::newRow("variables no row shows, members by their full names")
        << described("<byte name=\"a\"/>\n<byte name=\"t[3]\"/>\n<struct name=\"s\"><byte name=\"x\"/></struct>\n",
                     "<Var var=\"t[1]\"/>\n<Var var=\"s\"/>\n")
        << QStringList{"2:16 warning unused-variable", "3:19 warning unused-variable", "4:33 warning unused-variable",
                       "7:14 warning struct-row"};
    QTest::newRow("min above max, once for an array")
        << described("<word name=\"w\" min=\"5\" max=\"1\"/>\n<float name=\"f[2]\" min=\"1\" max=\"0.5\"/>\n"
                     "<byte name=\"s\" min=\"5\" max=\"1\" select=\"x|y\"/>\n",
                     "<Var var=\"w\"/>\n<Var var=\"f[0]\"/>\n<Var var=\"f[1]\"/>\n<Var var=\"s\"/>\n")
        << QStringList{"2:32 warning min-above-max", "3:38 warning min-above-max"};
    QTest::newRow("float without min")
        << described("<float name=\"f\"/>\n<float name=\"g\" min=\"0\"/>\n", "<Var var=\"f\"/>\n<Var var=\"g\"/>\n")
        << QStringList{"2:17 warning float-without-min"};
    QTest::newRow("items all empty")
        << described("<byte name=\"s\" select=\"|\"/>\n<bool name=\"b\" false=\"\" true=\"\"/>\n"
                     "<byte name=\"t\" select=\"|x\"/>\n",
                     "<Var var=\"s\"/>\n<Var var=\"b\"/>\n<Var var=\"t\"/>\n")
        << QStringList{"2:27 warning empty-items", "3:33 warning empty-items"};
    QTest::newRow("macro never used")
        << described(OneByte, "<Def template=\"u\"><Var var=\"a\"/></Def>\n<Def template=\"m\" var=\"a\"/>\n"
                              "<Group name=\"G\"><Def template=\"n\"/></Group>\n<Var template=\"m\"/>\n")
        << QStringList{"4:18 warning unused-macro", "6:35 warning unused-macro"};
    QTest::newRow("a description without mistakes")
        << described("<bool name=\"on\"/>\n<byte name=\"mode\" select=\"|Heat|Cool\"/>\n"
                     "<float name=\"t\" min=\"-40\"/>\n",
                     "<Var var=\"on\"/>\n<Var var=\"mode\" enabled=\"on\"/>\n<Var var=\"t\" visible=\"mode = 1\"/>\n")
        << QStringList();
}

void TestLint::findings()
{
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, expected);
    QCOMPARE(lint(xml), expected);
}

void TestLint::badFormatId_isFoundFromTheFileName()
{
    QCOMPARE(lint("<D id=\"a..b\"><Format/><Tree/></D>\n", QStringLiteral("a..b.xml")),
             QStringList{"1:13 error description-error Bad format id 'a..b'"});
}

QTEST_GUILESS_MAIN(TestLint)
#include "tst_lint.moc"
