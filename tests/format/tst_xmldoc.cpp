#include "formattestutil.h"
#include "format/xmldoc.h"
#include "format/xmlguard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

class TestXmlDoc : public QObject
{
    Q_OBJECT
private slots:
    void save_newPath_createsNoBackup();
    void save_again_keepsPreviousAsBackup();
    void save_unwritableDirectory_data();
    void save_unwritableDirectory();
    void save_closedFolder_overwritesAndSaysSo_data();
    void save_closedFolder_overwritesAndSaysSo();
    void load_encodings_data();
    void load_encodings();
    void load_missingFile_fallsBackToBackup();
    void load_syntaxError_reportsLineThenTriesBackup();
    void load_bothFail_reportsBoth();
    void load_namespacesNotProcessed();
    void load_hostileDocument_refusedOrBounded_data();
    void load_hostileDocument_refusedOrBounded();
    void load_notAPlainFile_refusedWithoutWaiting_data();
    void load_notAPlainFile_refusedWithoutWaiting();
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

void TestXmlDoc::save_closedFolder_overwritesAndSaysSo_data()
{
    QTest::addColumn<QByteArray>("olderBackup"); // null: none
    QTest::newRow("no backup yet") << QByteArray();
    QTest::newRow("an older backup stays as it was") << QByteArray("<older/>\n");
}

void TestXmlDoc::save_closedFolder_overwritesAndSaysSo()
{
    QFETCH(QByteArray, olderBackup);
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner | QFileDevice::ExeOther));
    const QString folder = dir.filePath("shared");
    QVERIFY(QDir(dir.path()).mkdir("shared"));
    const QString path = folder + "/v.xml";
    QVERIFY(writeFile(path, "<previous/>\n"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
                                            | QFileDevice::WriteOther));
    if (!olderBackup.isNull())
        QVERIFY(writeFile(path + ".bak", olderBackup));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadOther | QFileDevice::ExeOther));
    DiagCapture diag;
    bool saved = false;
    {
        ActingAsNobody nobody;
        QVERIFY(nobody.ok);
        saved = saveXmlDocument(docWith("<new/>"), path);
    }
    QVERIFY(saved);
    QCOMPARE(readFile(path), QByteArray("<new/>\n"));
    QCOMPARE(diag.err, "Can't keep the previous file '" + path.toLocal8Bit() + "' as '" + path.toLocal8Bit() + ".bak'\n");
    QCOMPARE(readFile(path + ".bak"), olderBackup.isNull() ? QByteArray("<missing>") : olderBackup);
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

static QByteArray nested(int levels)
{
    return QByteArray("<a>").repeated(levels) + QByteArray("</a>").repeated(levels);
}

// Ten entities, each ten times the one before: a billion "lol"s when expanded in full.
static QByteArray laughs(const QByteArray &use)
{
    QByteArray dtd = "<!DOCTYPE lolz [<!ENTITY lol0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        dtd += "<!ENTITY lol" + QByteArray::number(i) + " \"" + QByteArray("&lol" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
    return dtd + "]>" + use;
}

static QByteArray passwdEntity(const QByteArray &use)
{
    return "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>" + use;
}

void TestXmlDoc::load_hostileDocument_refusedOrBounded_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QByteArray>("message"); // %1 stands for the path

    QTest::newRow("256 levels are fine") << nested(256) << true << QByteArray();
    QTest::newRow("257 levels refused")
        << nested(257) << false
        << QByteArray("Parse error for file '%1': elements nested deeper than 256 levels. At line 1, column 771.\n");
    // Half a megabyte that kept the DOM busy for over a minute.
    QTest::newRow("80,000 levels refused at once")
        << nested(80000) << false
        << QByteArray("Parse error for file '%1': elements nested deeper than 256 levels. At line 1, column 771.\n");
    QTest::newRow("deep nesting after a line break")
        << "<r>\n" + nested(300) + "</r>" << false
        << QByteArray("Parse error for file '%1': elements nested deeper than 256 levels. At line 2, column 768.\n");
    QTest::newRow("billion laughs in content")
        << laughs("<lolz>&lol9;</lolz>") << false
        << QByteArray("Parse error for file '%1': Entity expands to more characters than the entity expansion limit.. At line 1, column 743.\n");
    QTest::newRow("billion laughs in an attribute")
        << laughs("<lolz a='&lol9;'/>") << false
        << QByteArray("Parse error for file '%1': Entity expands to more characters than the entity expansion limit.. At line 1, column 746.\n");
    QTest::newRow("external entity in content")
        << passwdEntity("<x>&e;</x>") << false
        << QByteArray("Parse error for file '%1': external entity 'e' refused. At line 1, column 54.\n");
    QTest::newRow("external entity in an attribute")
        << passwdEntity("<x a='&e;'/>") << false
        << QByteArray("Parse error for file '%1': external entity 'e' refused. At line 1, column 54.\n");
    QTest::newRow("external entity declared, never used")
        << passwdEntity("<x/>") << false
        << QByteArray("Parse error for file '%1': external entity 'e' refused. At line 1, column 54.\n");
    QTest::newRow("external parameter entity")
        << QByteArray("<!DOCTYPE x [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]><x/>") << false
        << QByteArray("Parse error for file '%1': external entity 'p' refused. At line 1, column 60.\n");
    QTest::newRow("internal entity is expanded")
        << QByteArray("<!DOCTYPE x [<!ENTITY e \"word\">]><x a='&e;'>&e;</x>") << true << QByteArray();
}

void TestXmlDoc::load_hostileDocument_refusedOrBounded()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);
    QFETCH(QByteArray, message);
    QTemporaryDir dir;
    const QString path = dir.filePath("h.xml");
    QVERIFY(writeFile(path, content));
    DiagCapture diag;
    bool ok = !loads;
    const QDomDocument doc = loadXmlDocument(path, &ok);
    QCOMPARE(ok, loads);
    QCOMPARE(diag.err, message.isEmpty() ? QByteArray() : QString::fromLatin1(message).arg(path).toLocal8Bit());
    QVERIFY(diag.out.isEmpty());
    // Nothing from outside the file makes it into the document.
    const QString text = doc.toString(0);
    QVERIFY2(!text.contains(QLatin1String("root:")), qPrintable(text.left(200)));
    QVERIFY(text.size() < 4 * content.size());
}

void TestXmlDoc::load_notAPlainFile_refusedWithoutWaiting_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("message"); // %1 stands for the path
    QTest::newRow("FIFO without a writer") << "fifo" << QByteArray("Can't read file '%1': not a regular file\n");
    QTest::newRow("/dev/zero never ends") << "/dev/zero" << QByteArray("Can't read file '%1': not a regular file\n");
    QTest::newRow("folder") << "folder" << QByteArray("Can't open file '%1' for reading\n");
    QTest::newRow("one byte over 64 MiB") << "large"
                                          << QByteArray("Can't read file '%1': 67108865 bytes, more than 67108864\n");
}

void TestXmlDoc::load_notAPlainFile_refusedWithoutWaiting()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, message);
    QTemporaryDir dir;
    QString path = dir.filePath("special.xml");
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir("special.xml"));
    } else if (kind == QLatin1String("large")) {
        QFile sparse(path);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(MaxXmlFileBytes + 1));
    } else {
        path = kind;
    }
    DiagCapture diag;
    bool ok = true;
    const QDomDocument doc = loadXmlDocument(path, &ok);
    QVERIFY(!ok);
    QVERIFY(doc.documentElement().isNull());
    QCOMPARE(diag.err, QString::fromLatin1(message).arg(path).toLocal8Bit());
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
