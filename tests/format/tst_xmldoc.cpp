#include "formattestutil.h"
#include "format/xmldoc.h"

#include <QFile>
#include <QTemporaryDir>

class TestXmlDoc : public QObject
{
    Q_OBJECT
private slots:
    void save_newPath_createsNoBackup();
    void save_again_keepsPreviousAsBackup();
    void save_unwritableDirectory_data();
    void save_unwritableDirectory();
    void load_encodings_data();
    void load_encodings();
    void load_missingFile_fallsBackToBackup();
    void load_syntaxError_reportsLineThenTriesBackup();
    void load_bothFail_reportsBoth();
    void load_namespacesNotProcessed();
    void save_layout_data();
    void save_layout();
    void save_declaredEncoding_isUsed();
};

static bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

static QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

static QDomDocument docWith(const QString &text)
{
    QDomDocument doc;
    doc.setContent(text);
    return doc;
}

void TestXmlDoc::save_newPath_createsNoBackup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.xml");
    DiagCapture diag;
    QVERIFY(saveXmlDocument(docWith("<a x='1'><b>t</b><c/></a>"), path));
    // Indentation 0: every element on a line of its own without leading blanks.
    QCOMPARE(readFile(path), QByteArray("<a x=\"1\">\n<b>t</b>\n<c/>\n</a>\n"));
    QVERIFY(!QFile::exists(path + ".bak"));
    QCOMPARE(diag.err, QByteArray());
}

void TestXmlDoc::save_again_keepsPreviousAsBackup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(saveXmlDocument(docWith("<first/>"), path));
    QVERIFY(saveXmlDocument(docWith("<second/>"), path));
    QCOMPARE(readFile(path), QByteArray("<second/>\n"));
    QCOMPARE(readFile(path + ".bak"), QByteArray("<first/>\n"));
    QVERIFY(saveXmlDocument(docWith("<third>\u00e9</third>"), path));
    QCOMPARE(readFile(path), QByteArray("<third>\xc3\xa9</third>\n"));
    QCOMPARE(readFile(path + ".bak"), QByteArray("<second/>\n"));
}

void TestXmlDoc::save_unwritableDirectory_data()
{
    // Tests may run as root, who may write anywhere permissions allow; these paths
    // cannot be created by anyone.
    QTest::addColumn<QString>("relative");
    QTest::newRow("directory does not exist") << "missing/dir/v.xml";
    QTest::newRow("parent is a regular file") << "plain.txt/v.xml";
}

void TestXmlDoc::save_unwritableDirectory()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("plain.txt"), "keep"));
    const QString path = dir.filePath(relative);
    DiagCapture diag;
    QVERIFY(!saveXmlDocument(docWith("<a/>"), path));
    QCOMPARE(diag.err, "Can't open file '" + path.toLocal8Bit() + "' for writing\n");
    QCOMPARE(readFile(dir.filePath("plain.txt")), QByteArray("keep"));
}

void TestXmlDoc::load_encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 without declaration") << QByteArray("<a>\xd0\x96</a>") << QStringLiteral("Ж");
    QTest::newRow("declared windows-1251") << QByteArray("<?xml version='1.0' encoding='windows-1251'?><a>\xc6</a>")
                                           << QStringLiteral("Ж");
    QTest::newRow("declared ISO-8859-1") << QByteArray("<?xml version='1.0' encoding='ISO-8859-1'?><a>\xe9</a>")
                                         << QStringLiteral("é");
    QTest::newRow("UTF-8 byte-order mark") << QByteArray("\xef\xbb\xbf<a>\xd0\x96</a>") << QStringLiteral("Ж");
    QTest::newRow("UTF-16LE byte-order mark") << QByteArray("\xff\xfe<\0a\0>\0\x16\x04<\0/\0a\0>\0", 18)
                                              << QStringLiteral("Ж");
}

void TestXmlDoc::load_encodings()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath("e.xml");
    QVERIFY(writeFile(path, bytes));
    bool ok = false;
    DiagCapture diag;
    const QDomDocument doc = loadXmlDocument(path, &ok);
    QVERIFY2(ok, diag.err.constData());
    QTEST(doc.documentElement().text(), "text");
}

void TestXmlDoc::load_missingFile_fallsBackToBackup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(writeFile(path + ".bak", "<kept n='1'/>"));
    DiagCapture diag;
    bool ok = false;
    QDomDocument doc = loadXmlDocument(path, &ok);
    QVERIFY(!ok);
    QVERIFY(doc.isNull() || doc.documentElement().isNull());
    diag.err.clear();
    doc = loadXmlDocumentWithBackup(path, &ok);
    QVERIFY(ok);
    QCOMPARE(doc.documentElement().tagName(), QStringLiteral("kept"));
    QCOMPARE(diag.err, "Can't open file '" + path.toLocal8Bit() + "' for reading\n");
}

void TestXmlDoc::load_syntaxError_reportsLineThenTriesBackup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(writeFile(path, "<a>\n<b/>\n<c></d>\n</a>\n"));
    QVERIFY(writeFile(path + ".bak", "<good/>"));
    DiagCapture diag;
    bool ok = false;
    const QDomDocument doc = loadXmlDocumentWithBackup(path, &ok);
    QVERIFY(ok);
    QCOMPARE(doc.documentElement().tagName(), QStringLiteral("good"));
    const QByteArray prefix = "Parse error for file '" + path.toLocal8Bit() + "': ";
    QVERIFY2(diag.err.startsWith(prefix), diag.err.constData());
    QVERIFY2(diag.err.contains(". At line 3, column "), diag.err.constData());
    QVERIFY(diag.err.endsWith(".\n"));
    QCOMPARE(diag.err.count('\n'), 1);
}

void TestXmlDoc::load_bothFail_reportsBoth()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("v.xml");
    QVERIFY(writeFile(path, ""));
    DiagCapture diag;
    bool ok = true;
    const QDomDocument doc = loadXmlDocumentWithBackup(path, &ok);
    QVERIFY(!ok);
    QVERIFY(doc.documentElement().isNull());
    const QList<QByteArray> lines = diag.err.split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith("Parse error for file '" + path.toLocal8Bit() + "': "));
    QCOMPARE(lines[1], "Can't open file '" + path.toLocal8Bit() + ".bak' for reading");
    QVERIFY(diag.out.isEmpty());
}

void TestXmlDoc::load_namespacesNotProcessed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("n.xml");
    QVERIFY(writeFile(path, "<r xmlns:v='urn:x'><v:Format id='1'/></r>"));
    bool ok = false;
    const QDomDocument doc = loadXmlDocument(path, &ok);
    QVERIFY(ok);
    QCOMPARE(doc.documentElement().firstChildElement().tagName(), QStringLiteral("v:Format"));
    QVERIFY(!doc.documentElement().firstChildElement("v:Format").isNull());
}

void TestXmlDoc::save_layout_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("attributes sorted by name, whatever the order given")
        << "<a zeta='1' alpha='2' mid='3'/>" << QByteArray("<a alpha=\"2\" mid=\"3\" zeta=\"1\"/>\n");
    QTest::newRow("attribute escapes keep line ends and tabs")
        << "<a v='&lt;&amp;&quot;&gt;&#xa;&#x9;&#xd;x'/>" << QByteArray("<a v=\"&lt;&amp;&quot;&gt;&#xa;&#x9;&#xd;x\"/>\n");
    QTest::newRow("text escapes") << "<a>1 &lt; 2 &amp;&amp; \"q\" &gt; 0</a>"
                                  << QByteArray("<a>1 &lt; 2 &amp;&amp; \"q\" &gt; 0</a>\n");
    QTest::newRow("mixed content stays inline around text")
        << "<p>one <b>two</b> three<br/></p>" << QByteArray("<p>one <b>two</b> three<br/>\n</p>\n");
    QTest::newRow("comment and processing instruction")
        << "<r><!-- note --><?pi data?><x/></r>" << QByteArray("<r>\n<!-- note -->\n<?pi data?>\n<x/>\n</r>\n");
    QTest::newRow("CDATA kept") << "<r><![CDATA[a<b]]></r>" << QByteArray("<r><![CDATA[a<b]]></r>\n");
    QTest::newRow("declaration and document type first")
        << "<?xml version='1.0'?><!DOCTYPE Configuration><Configuration/>"
        << QByteArray("<?xml version='1.0'?>\n<!DOCTYPE Configuration>\n<Configuration/>\n");
}

void TestXmlDoc::save_layout()
{
    QFETCH(QString, input);
    QTemporaryDir dir;
    const QString path = dir.filePath("l.xml");
    QDomDocument doc;
    QVERIFY(doc.setContent(input));
    // Saving the same document twice gives the same bytes: attribute order does not
    // depend on how the DOM hashes names.
    QVERIFY(saveXmlDocument(doc, path));
    QTEST(readFile(path), "output");
    QVERIFY(saveXmlDocument(doc, path));
    QCOMPARE(readFile(path), readFile(path + ".bak"));
    bool ok = false;
    const QDomDocument again = loadXmlDocument(path, &ok);
    QVERIFY(ok);
    QVERIFY(saveXmlDocument(again, dir.filePath("again.xml")));
    QCOMPARE(readFile(dir.filePath("again.xml")), readFile(path));
}

void TestXmlDoc::save_declaredEncoding_isUsed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("w.xml");
    QDomDocument doc;
    QVERIFY(doc.setContent(QStringLiteral("<?xml version='1.0' encoding='windows-1251'?><a t='Ж'/>")));
    QVERIFY(saveXmlDocument(doc, path));
    QCOMPARE(readFile(path), QByteArray("<?xml version='1.0' encoding='windows-1251'?>\n<a t=\"\xc6\"/>\n"));
    bool ok = false;
    QCOMPARE(loadXmlDocument(path, &ok).documentElement().attribute("t"), QStringLiteral("Ж"));
    QVERIFY(ok);
}

QTEST_GUILESS_MAIN(TestXmlDoc)
#include "tst_xmldoc.moc"
