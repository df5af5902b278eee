// Description files on disk installed in the property tree as a whole or not at all, found by
// format id in confxml/ and fetched from a loopback description server when they fail there.
#include "download/descriptionserver.h"
#include "fetchtestutil.h"
#include "format/confformat.h"
#include "httptestserver.h"
#include "tests/support/guitest.h"
#include "tree/ui/conftree.h"
#include "tree/ui/qmytreewidgetitem.h"

#include <QDir>
#include <QPointer>
#include <QSettings>

Q_DECLARE_METATYPE(CannedReply)

namespace {

const QByteArray Previous = "<Device id=\"PREV\"><Format><byte name=\"p\"/><byte name=\"q\"/></Format>"
                            "<Tree name=\"Previous\"><Var var=\"p\" name=\"P\"/>"
                            "<Var var=\"q\" name=\"Q\" visible=\"p = 7\"/></Tree></Device>";

const QByteArray NewFormat = "<Format><bool name=\"on\"/><word name=\"level\"/></Format>";
const QByteArray NewTree = "<Tree name=\"New device\">"
                           "<Var var=\"on\" name=\"On\"/>"
                           "<Group name=\"Settings\" expand=\"yes\" visible=\"on\">"
                           "<Var var=\"level\" name=\"Level\" enabled=\"on\"/></Group>"
                           "<Group name=\"Closed\"><Var var=\"level\" name=\"Level again\"/></Group>"
                           "</Tree>";

QByteArray describe(const QByteArray &id, const QByteArray &children)
{
    return "<Device id=\"" + id + "\">" + children + "</Device>";
}

const QByteArray New = describe("NEW", NewFormat + NewTree);

QByteArray valueFile(const QByteArray &id, const QByteArray &vars)
{
    return "<!DOCTYPE Configuration>\n<Configuration id=\"" + id + "\">\n" + vars + "</Configuration>\n";
}

void useServer(const QString &address)
{
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QLatin1String(DescriptionServerKey), address);
}

// Every file below the folder, with its contents, to show that nothing was read into place,
// written or removed.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDir dir(root);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names)
        files.insert(name, readFile(dir.filePath(name)));
    const QStringList subdirs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &sub : subdirs) {
        const auto inner = snapshot(dir.filePath(sub));
        for (auto it = inner.begin(); it != inner.end(); ++it)
            files.insert(sub + QLatin1Char('/') + it.key(), it.value());
    }
    return files;
}

} // namespace

class TestDescriptionFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void loadFormatFile_installsWholeDescription();
    void loadFormatFile_accepted_data();
    void loadFormatFile_accepted();
    void loadFormatFile_refused_keepsPreviousDescription_data();
    void loadFormatFile_refused_keepsPreviousDescription();
    void loadFormatFile_brokenFile_usesBackup();
    void loadFormatFile_sameId_rebuildsWithInitialValues();

    void loadFormat_localFile_sendsNoRequest();
    void loadFormat_localFails_fetchesAndInstalls_data();
    void loadFormat_localFails_fetchesAndInstalls();
    void loadFormat_fetchFails_keepsPreviousAndLeavesNoFile_data();
    void loadFormat_fetchFails_keepsPreviousAndLeavesNoFile();
    void loadFormat_idEncodedInRequestOnly();
    void loadFormat_unsafeId_touchesNoFile_data();
    void loadFormat_unsafeId_touchesNoFile();

    void openConfFile_missingDescription_fetchedBeforeValues();
    void openConfFile_withoutId_looksForNoname();
    void openConfFile_descriptionUnobtainable_keepsPreviousValues();
    void openConfFile_sameFormat_reloadsDescriptionFirst();
    void openConfFile_descriptionFile_installsButFails();
    void openConfFile_unsafeId_touchesNoFile_data();
    void openConfFile_unsafeId_touchesNoFile();

private:
    void installPrevious();
    void verifyPreviousInPlace();
    QTreeWidgetItem *rowByLabel(const QString &label) const;

    WorkDir *work = nullptr;
    HttpTestServer *server = nullptr;
    ConfTree *tree = nullptr;
    QPointer<ConfFormat> previousFormat;
    QTreeWidgetItem *previousTop = nullptr;
};

void TestDescriptionFile::init()
{
    work = new WorkDir;
    QVERIFY(work->isValid());
    server = new HttpTestServer;
    QVERIFY(server->listen());
    // A server that is not asked must not answer well by accident.
    server->setReply(CannedReply::make(404, "Not Found", "no"));
    useServer(server->address());
    tree = new ConfTree;
    installPrevious();
}

void TestDescriptionFile::cleanup()
{
    delete tree;
    tree = nullptr;
    delete server;
    server = nullptr;
    delete work;
    work = nullptr;
}

// A description in place with a value that differs from the initial one, so that a failed
// load that reset anything would show.
void TestDescriptionFile::installPrevious()
{
    QVERIFY(writeFile(QStringLiteral("confxml/PREV.xml"), Previous));
    QVERIFY(tree->loadFormatFile(QStringLiteral("confxml/PREV.xml"), QStringLiteral("PREV")));
    tree->format->varByName(QStringLiteral("p"))->value = 7;
    tree->updateValues();
    tree->updateExpr();
    previousFormat = tree->format;
    previousTop = tree->topLevelItem(0);
    QVERIFY(!rowByLabel(QStringLiteral("Q"))->isHidden());
}

void TestDescriptionFile::verifyPreviousInPlace()
{
    QVERIFY(previousFormat);
    QCOMPARE(tree->format, previousFormat.data());
    QCOMPARE(tree->formatId, QStringLiteral("PREV"));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0), previousTop);
    QCOMPARE(previousTop->childCount(), 2);
    QCOMPARE(tree->format->vars().at(QStringLiteral("p")).value, 7);
    QCOMPARE(rowByLabel(QStringLiteral("P"))->text(1), tree->format->text(tree->format->idOf(QStringLiteral("p"))));
    QVERIFY(!rowByLabel(QStringLiteral("Q"))->isHidden());
}

QTreeWidgetItem *TestDescriptionFile::rowByLabel(const QString &label) const
{
    const auto found = tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

void TestDescriptionFile::loadFormatFile_installsWholeDescription()
{
    QVERIFY(writeFile(QStringLiteral("new.xml"), New));
    gui::DiagLines diag;
    QVERIFY(tree->loadFormatFile(QStringLiteral("new.xml"), QStringLiteral("NEW")));
    QCOMPARE(diag.out, QByteArray());
    QVERIFY(!previousFormat); // the old format is gone with its rows
    QVERIFY(tree->format);
    QCOMPARE(tree->formatId, QStringLiteral("NEW"));
    QCOMPARE(tree->format->id(), QStringLiteral("NEW"));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem *top = tree->topLevelItem(0);
    QCOMPARE(top->text(0), QStringLiteral("New device"));
    QVERIFY(top->isExpanded());

    // Values at their initial state, conditions evaluated, expansion as the groups ask.
    QTreeWidgetItem *level = rowByLabel(QStringLiteral("Level"));
    QVERIFY(level);
    QCOMPARE(level->text(1), tree->format->text(tree->format->idOf(QStringLiteral("level"))));
    QVERIFY(!level->text(1).isEmpty());
    QVERIFY(static_cast<QMyTreeWidgetItem *>(level)->isGreyed());
    QTreeWidgetItem *settings = rowByLabel(QStringLiteral("Settings"));
    QVERIFY(settings->isHidden());
    QVERIFY(settings->isExpanded());
    QVERIFY(!rowByLabel(QStringLiteral("Closed"))->isExpanded());
    QCOMPARE(rowByLabel(QStringLiteral("On"))->text(1), tree->format->text(tree->format->idOf(QStringLiteral("on"))));
}

void TestDescriptionFile::loadFormatFile_accepted_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expectedId");

    QTest::newRow("comment, processing instruction and other element between the parts")
        << describe("NEW", NewFormat + "<!-- note --><?tool run?><Extra><Tree/></Extra>text" + NewTree) << "NEW";
    QTest::newRow("elements of other names before and after")
        << describe("NEW", "<format/><Info/>" + NewFormat + NewTree + "<tree/><Trailer/>") << "NEW";
    QTest::newRow("root without id stands for noname") << ("<Device>" + NewFormat + NewTree + "</Device>")
                                                        << "noname";
    QTest::newRow("id with blank and non-ASCII letter")
        << describe("VANT \xc3\x84-1", NewFormat + NewTree) << QStringLiteral("VANT \u00c4-1");
}

void TestDescriptionFile::loadFormatFile_accepted()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expectedId);
    QVERIFY(writeFile(QStringLiteral("d.xml"), content));
    gui::DiagLines diag;
    QVERIFY(tree->loadFormatFile(QStringLiteral("d.xml"), expectedId));
    QCOMPARE(diag.out, QByteArray());
    QCOMPARE(tree->formatId, expectedId);
    QCOMPARE(tree->format->id(), expectedId);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("New device"));
    QCOMPARE(tree->topLevelItem(0)->childCount(), 3);
}

void TestDescriptionFile::loadFormatFile_refused_keepsPreviousDescription_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("expectedId");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("missing file") << QByteArray() << "NEW" << QByteArray("XML error\n");
    QTest::newRow("not well-formed") << QByteArray("<Device id=\"NEW\"><Format>") << "NEW"
                                     << QByteArray("XML error\n");
    QTest::newRow("root id differs") << describe("OTHER", NewFormat + NewTree) << "NEW" << QByteArray("Bad ID\n");
    QTest::newRow("root id differs in letter case") << describe("new", NewFormat + NewTree) << "NEW"
                                                    << QByteArray("Bad ID\n");
    QTest::newRow("root without id") << ("<Device>" + NewFormat + NewTree + "</Device>") << "NEW"
                                     << QByteArray("Bad ID\n");
    QTest::newRow("second Format") << describe("NEW", NewFormat + NewFormat + NewTree) << "NEW"
                                   << QByteArray("Duplicate format\n");
    QTest::newRow("second Format after the Tree") << describe("NEW", NewFormat + NewTree + NewFormat) << "NEW"
                                                  << QByteArray("Duplicate format\n");
    QTest::newRow("Format rejected") << describe("NEW", "<Format><int name=\"i\"/></Format>" + NewTree) << "NEW"
                                     << QByteArray("Bad type 'int'\nError loading format\n");
    QTest::newRow("second Tree") << describe("NEW", NewFormat + NewTree + NewTree) << "NEW"
                                 << QByteArray("Duplicate tree\n");
    QTest::newRow("Tree before Format") << describe("NEW", NewTree + NewFormat) << "NEW"
                                        << QByteArray("No format before tree\n");
    QTest::newRow("Tree rejected")
        << describe("NEW", NewFormat + "<Tree><Group><Var var=\"zz\"/></Group></Tree>") << "NEW"
        << QByteArray("Variable 'zz' not found\nError loading tree\n");
    QTest::newRow("no Format") << describe("NEW", "<Other/>") << "NEW" << QByteArray("No format in file\n");
    QTest::newRow("empty root") << describe("NEW", "") << "NEW" << QByteArray("No format in file\n");
    QTest::newRow("no Tree") << describe("NEW", NewFormat) << "NEW" << QByteArray("No tree in file\n");
    QTest::newRow("Tree only inside another element") << describe("NEW", NewFormat + "<Wrap>" + NewTree + "</Wrap>")
                                                       << "NEW" << QByteArray("No tree in file\n");
}

void TestDescriptionFile::loadFormatFile_refused_keepsPreviousDescription()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expectedId);
    if (!content.isNull())
        QVERIFY(writeFile(QStringLiteral("d.xml"), content));
    gui::DiagLines diag;
    QVERIFY(!tree->loadFormatFile(QStringLiteral("d.xml"), expectedId));
    QTEST(diag.out, "out");
    verifyPreviousInPlace();
}

void TestDescriptionFile::loadFormatFile_brokenFile_usesBackup()
{
    QVERIFY(writeFile(QStringLiteral("confxml/NEW.xml"), "<Device id=\"NEW\"><Format>"));
    QVERIFY(writeFile(QStringLiteral("confxml/NEW.xml.bak"), New));
    gui::DiagLines diag;
    QVERIFY(tree->loadFormatFile(QStringLiteral("confxml/NEW.xml"), QStringLiteral("NEW")));
    // The user is told that the older copy is in use.
    QCOMPARE(diag.out, QByteArray("File 'confxml/NEW.xml' does not load; its backup 'confxml/NEW.xml.bak' was used\n"));
    QVERIFY2(diag.err.startsWith("Parse error for file 'confxml/NEW.xml': "), diag.err.constData());
    QCOMPARE(tree->formatId, QStringLiteral("NEW"));

    // Both copies broken: the previous description stays.
    QVERIFY(writeFile(QStringLiteral("confxml/NEW.xml.bak"), "not xml"));
    installPrevious();
    diag.out.clear();
    QVERIFY(!tree->loadFormatFile(QStringLiteral("confxml/NEW.xml"), QStringLiteral("NEW")));
    QCOMPARE(diag.out, QByteArray("XML error\n"));
    verifyPreviousInPlace();
}

void TestDescriptionFile::loadFormatFile_sameId_rebuildsWithInitialValues()
{
    gui::DiagLines diag;
    QVERIFY(tree->loadFormatFile(QStringLiteral("confxml/PREV.xml"), QStringLiteral("PREV")));
    QVERIFY(!previousFormat);
    QCOMPARE(tree->formatId, QStringLiteral("PREV"));
    QCOMPARE(tree->format->vars().at(QStringLiteral("p")).value, 0);
    QVERIFY(rowByLabel(QStringLiteral("Q"))->isHidden());
}

void TestDescriptionFile::loadFormat_localFile_sendsNoRequest()
{
    QVERIFY(writeFile(QStringLiteral("confxml/NEW.xml"), New));
    gui::DiagLines diag;
    QVERIFY(tree->loadFormat(QStringLiteral("NEW")));
    QCOMPARE(diag.out, QByteArray());
    QCOMPARE(tree->formatId, QStringLiteral("NEW"));
    QCOMPARE(server->connections(), 0);
}

void TestDescriptionFile::loadFormat_localFails_fetchesAndInstalls_data()
{
    QTest::addColumn<QByteArray>("local"); // null: no local file
    QTest::addColumn<QByteArray>("outBefore");

    QTest::newRow("missing") << QByteArray() << QByteArray("XML error\nDownloading format...\n");
    QTest::newRow("not well-formed") << QByteArray("<Device") << QByteArray("XML error\nDownloading format...\n");
    QTest::newRow("another id") << describe("OTHER", NewFormat + NewTree)
                                << QByteArray("Bad ID\nDownloading format...\n");
    QTest::newRow("Format does not load") << describe("NEW", "<Format><int name=\"i\"/></Format>" + NewTree)
                                          << QByteArray("Bad type 'int'\nError loading format\nDownloading format...\n");
    QTest::newRow("no Tree") << describe("NEW", NewFormat) << QByteArray("No tree in file\nDownloading format...\n");
}

void TestDescriptionFile::loadFormat_localFails_fetchesAndInstalls()
{
    QFETCH(QByteArray, local);
    if (!local.isNull())
        QVERIFY(writeFile(QStringLiteral("confxml/NEW.xml"), local));
    server->setReply(CannedReply::make(200, "OK", New));
    gui::DiagLines diag;
    QVERIFY(tree->loadFormat(QStringLiteral("NEW")));
    QFETCH(QByteArray, outBefore);
    QVERIFY2(diag.out.startsWith(outBefore + "http status 200\n"), diag.out.constData());
    QVERIFY2(diag.out.endsWith("http done error=0\n"), diag.out.constData());
    QVERIFY(server->onlyRequested("GET /confxml2/NEW.xml HTTP/1.1"));
    QCOMPARE(readFile(QStringLiteral("confxml/NEW.xml")), New);
    QCOMPARE(tree->formatId, QStringLiteral("NEW"));
    QVERIFY(!previousFormat);
}

void TestDescriptionFile::loadFormat_fetchFails_keepsPreviousAndLeavesNoFile_data()
{
    QTest::addColumn<QByteArray>("local");
    QTest::addColumn<CannedReply>("reply");

    QTest::newRow("missing, server says 404") << QByteArray() << CannedReply::make(404, "Not Found", "gone");
    QTest::newRow("broken, server says 500") << QByteArray("<Device") << CannedReply::make(500, "Oops", "err");
    QTest::newRow("missing, fetched copy is no description too")
        << QByteArray() << CannedReply::make(200, "OK", describe("NEW", NewFormat));
}

void TestDescriptionFile::loadFormat_fetchFails_keepsPreviousAndLeavesNoFile()
{
    QFETCH(QByteArray, local);
    QFETCH(CannedReply, reply);
    if (!local.isNull())
        QVERIFY(writeFile(QStringLiteral("confxml/NEW.xml"), local));
    server->setReply(reply);
    gui::DiagLines diag;
    QVERIFY(!tree->loadFormat(QStringLiteral("NEW")));
    QCOMPARE(diag.out.count("Downloading format..."), 1); // one attempt per call
    verifyPreviousInPlace();
    if (reply.head.startsWith("HTTP/1.1 200"))
        QVERIFY2(diag.out.endsWith("http done error=0\nNo tree in file\n"), diag.out.constData());
    else if (local.isNull())
        QVERIFY(!QFile::exists(QStringLiteral("confxml/NEW.xml")));
    else // a failed fetch leaves the local file as it was
        QCOMPARE(readFile(QStringLiteral("confxml/NEW.xml")), local);
}

void TestDescriptionFile::loadFormat_idEncodedInRequestOnly()
{
    const QString id = QStringLiteral("VANT \u00c4-1");
    const QByteArray description = describe("VANT \xc3\x84-1", NewFormat + NewTree);
    server->setReply(CannedReply::make(200, "OK", description));
    gui::DiagLines diag;
    QVERIFY(tree->loadFormat(id));
    QVERIFY(server->onlyRequested("GET /confxml2/VANT%20%C3%84-1.xml HTTP/1.1"));
    QCOMPARE(readFile(QStringLiteral("confxml/") + id + QStringLiteral(".xml")), description);
    QCOMPARE(tree->formatId, id);
}

void TestDescriptionFile::loadFormat_unsafeId_touchesNoFile_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("empty") << QString() << QByteArray("Bad format id ''\n");
    QTest::newRow("parent folder") << "../outside" << QByteArray("Bad format id '../outside'\n");
    QTest::newRow("sub folder") << "sub/inner" << QByteArray("Bad format id 'sub/inner'\n");
    QTest::newRow("backslash") << "sub\\inner" << QByteArray("Bad format id 'sub\\inner'\n");
    QTest::newRow("dot dot alone") << ".." << QByteArray("Bad format id '..'\n");
    QTest::newRow("line break") << "PREV\nx" << QByteArray("Bad format id 'PREV\\x0Ax'\n");
    QTest::newRow("absolute path") << "/tmp/x" << QByteArray("Bad format id '/tmp/x'\n");
}

void TestDescriptionFile::loadFormat_unsafeId_touchesNoFile()
{
    QFETCH(QString, id);
    // Descriptions that an unchecked id would reach.
    QVERIFY(writeFile(QStringLiteral("outside.xml"), describe("../outside", NewFormat + NewTree)));
    QVERIFY(QDir().mkpath(QStringLiteral("confxml/sub")));
    QVERIFY(writeFile(QStringLiteral("confxml/sub/inner.xml"), describe("sub/inner", NewFormat + NewTree)));
    server->setReply(CannedReply::make(200, "OK", describe("x", NewFormat + NewTree)));
    const auto before = snapshot(work->path());

    gui::DiagLines diag;
    QVERIFY(!tree->loadFormat(id));
    QTEST(diag.out, "out");
    QCOMPARE(diag.err, QByteArray());
    QCOMPARE(server->connections(), 0);
    QCOMPARE(snapshot(work->path()), before);
    verifyPreviousInPlace();
}

void TestDescriptionFile::openConfFile_missingDescription_fetchedBeforeValues()
{
    server->setReply(CannedReply::make(200, "OK", New));
    QVERIFY(writeFile(QStringLiteral("values.xml"),
                      valueFile("NEW", "<Var name=\"on\" value=\"1\"/>\n<Var name=\"level\" value=\"300\"/>\n")));
    gui::DiagLines diag;
    QVERIFY(tree->openConfFile(QStringLiteral("values.xml")));
    QVERIFY(server->onlyRequested("GET /confxml2/NEW.xml HTTP/1.1"));
    QVERIFY2(diag.out.startsWith("XML error\nDownloading format...\n"), diag.out.constData());
    QCOMPARE(tree->formatId, QStringLiteral("NEW"));
    QCOMPARE(tree->format->vars().at(QStringLiteral("on")).value, 1);
    QCOMPARE(tree->format->vars().at(QStringLiteral("level")).value, 300);
}

void TestDescriptionFile::openConfFile_withoutId_looksForNoname()
{
    QVERIFY(writeFile(QStringLiteral("values.xml"), "<Configuration><Var name=\"p\" value=\"1\"/></Configuration>"));
    gui::DiagLines diag;
    QVERIFY(!tree->openConfFile(QStringLiteral("values.xml")));
    QVERIFY(server->onlyRequested("GET /confxml2/noname.xml HTTP/1.1"));
    QVERIFY(!QFile::exists(QStringLiteral("confxml/noname.xml")));
    verifyPreviousInPlace();
}

void TestDescriptionFile::openConfFile_descriptionUnobtainable_keepsPreviousValues()
{
    QVERIFY(writeFile(QStringLiteral("values.xml"), valueFile("NEW", "<Var name=\"on\" value=\"1\"/>\n")));
    gui::DiagLines diag;
    QVERIFY(!tree->openConfFile(QStringLiteral("values.xml")));
    QVERIFY(server->onlyRequested("GET /confxml2/NEW.xml HTTP/1.1"));
    verifyPreviousInPlace();

    // An unreadable value file asks for no description at all.
    const int asked = server->connections();
    QVERIFY(!tree->openConfFile(QStringLiteral("missing.xml")));
    QCOMPARE(server->connections(), asked);
    verifyPreviousInPlace();
}

void TestDescriptionFile::openConfFile_sameFormat_reloadsDescriptionFirst()
{
    // Only q is named: p falls back to its initial value with the new format.
    QVERIFY(writeFile(QStringLiteral("values.xml"), valueFile("PREV", "<Var name=\"q\" value=\"5\"/>\n")));
    QVERIFY(tree->openConfFile(QStringLiteral("values.xml")));
    QVERIFY(!previousFormat);
    QCOMPARE(tree->formatId, QStringLiteral("PREV"));
    QCOMPARE(tree->format->vars().at(QStringLiteral("p")).value, 0);
    QCOMPARE(tree->format->vars().at(QStringLiteral("q")).value, 5);
    QCOMPARE(server->connections(), 0);
}

void TestDescriptionFile::openConfFile_descriptionFile_installsButFails()
{
    QVERIFY(writeFile(QStringLiteral("confxml/NEW.xml"), New));
    QVERIFY(!tree->openConfFile(QStringLiteral("confxml/NEW.xml")));
    QVERIFY(!previousFormat);
    QCOMPARE(tree->formatId, QStringLiteral("NEW"));
    QCOMPARE(tree->format->vars().at(QStringLiteral("level")).value, 0);
}

void TestDescriptionFile::openConfFile_unsafeId_touchesNoFile_data()
{
    QTest::addColumn<QByteArray>("rootId");
    QTest::newRow("empty id") << QByteArray("");
    QTest::newRow("parent folder") << QByteArray("../outside");
    QTest::newRow("folder inside") << QByteArray("sub/inner");
    QTest::newRow("encoded line break") << QByteArray("PREV&#10;");
}

void TestDescriptionFile::openConfFile_unsafeId_touchesNoFile()
{
    QFETCH(QByteArray, rootId);
    QVERIFY(writeFile(QStringLiteral("outside.xml"), describe("../outside", NewFormat + NewTree)));
    QVERIFY(QDir().mkpath(QStringLiteral("confxml/sub")));
    QVERIFY(writeFile(QStringLiteral("confxml/sub/inner.xml"), describe("sub/inner", NewFormat + NewTree)));
    QVERIFY(writeFile(QStringLiteral("values.xml"), valueFile(rootId, "<Var name=\"on\" value=\"1\"/>\n")));
    server->setReply(CannedReply::make(200, "OK", New));
    const auto before = snapshot(work->path());

    gui::DiagLines diag;
    QVERIFY(!tree->openConfFile(QStringLiteral("values.xml")));
    QVERIFY2(diag.out.startsWith("Bad format id '"), diag.out.constData());
    QCOMPARE(server->connections(), 0);
    QCOMPARE(snapshot(work->path()), before);
    verifyPreviousInPlace();
}

VANT_GUI_TEST_MAIN(TestDescriptionFile)
#include "tst_descriptionfile.moc"
