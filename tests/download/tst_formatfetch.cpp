#include "download/descriptionserver.h"
#include "download/formatfetch.h"
#include "fetchtestutil.h"
#include "httptestserver.h"

#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

Q_DECLARE_METATYPE(CannedReply)

namespace {
// Only keeps a broken test from hanging; no test depends on how fast anything is.
constexpr int HangGuardMs = 20000;
const QByteArray OldContent("stale description left from an earlier run, longer than any new body");
const QByteArray Description("<Description id=\"VANT-A\">\n  <Format/>\n  <Tree/>\n</Description>\n");

bool waitFinished(FormatFetch &fetch, QSignalSpy &spy)
{
    return fetch.isRunning() ? spy.wait(HangGuardMs) : spy.count() > 0;
}
} // namespace

class TestFormatFetch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void answer_decidesWhetherFileIsKept_data();
    void answer_decidesWhetherFileIsKept();
    void requestLine_percentEncodesId_data();
    void requestLine_percentEncodesId();
    void progress_reportsZeroTotalWithoutLength_data();
    void progress_reportsZeroTotalWithoutLength();
    void abort_midBody_keepsOldFile();
    void body_overCap_failsAndKeepsOldFile_data();
    void body_overCap_failsAndKeepsOldFile();
    void stalledServer_timesOut_keepsOldFile_data();
    void stalledServer_timesOut_keepsOldFile();
    void refusedConnection_keepsOldFile();
    void unsafeId_touchesNoFile_data();
    void unsafeId_touchesNoFile();
    void missingFolder_createdThenFetched();
    void folderCannotBeMade_sendsNothing();
    void writeFails_endsTransferAndKeepsOldFile_data();
    void writeFails_endsTransferAndKeepsOldFile();
    void serverSetting_isUsed();
    void badServerSetting_touchesNoFile();
    void serverAddress_parses_data();
    void serverAddress_parses();
    void pythonHttpServer_servesEncodedIdAndMissingFile();

private:
    QTemporaryDir configHome_;
};

void TestFormatFetch::initTestCase()
{
    // Before the first settings access: the server setting of this test must
    // never reach the user's own settings store.
    QVERIFY(configHome_.isValid());
    qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator")).clear();
}

void TestFormatFetch::answer_decidesWhetherFileIsKept_data()
{
    QTest::addColumn<CannedReply>("reply");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("doneLine");
    QTest::addColumn<int>("failure");

    const int none = int(FormatFetch::Failure::None);
    const int httpStatus = int(FormatFetch::Failure::HttpStatus);
    QTest::newRow("200 with length replaces old content")
        << CannedReply::make(200, "OK", Description) << true << 200 << QByteArray("http done error=0\n") << none;
    QTest::newRow("200 without length replaces old content")
        << CannedReply::make(200, "OK", Description, false) << true << 200 << QByteArray("http done error=0\n")
        << none;
    QTest::newRow("200 empty body leaves empty file")
        << CannedReply::make(200, "OK", QByteArray()) << true << 200 << QByteArray("http done error=0\n") << none;
    QTest::newRow("404 keeps the old file, not its error page")
        << CannedReply::make(404, "Not Found", "<html>no such description</html>") << false << 404
        << QByteArray("http done error=0\n") << httpStatus;
    QTest::newRow("500 keeps the old file")
        << CannedReply::make(500, "Internal Server Error", "oops") << false << 500
        << QByteArray("http done error=0\n") << httpStatus;
    QTest::newRow("301 is not followed")
        << CannedReply::make(301, "Moved Permanently", "moved", true, "Location: /confxml2/elsewhere.xml\r\n")
        << false << 301 << QByteArray("http done error=0\n") << httpStatus;
    QTest::newRow("204 is not 200")
        << CannedReply::make(204, "No Content", QByteArray(), false) << false << 204
        << QByteArray("http done error=0\n") << httpStatus;
    CannedReply cut = CannedReply::make(200, "OK", Description.left(10));
    cut.head.replace("Content-Length: 10", "Content-Length: " + QByteArray::number(Description.size()));
    QTest::newRow("200 cut short by the server keeps the old file")
        << cut << false << 200 << QByteArray("http done error=1\n") << int(FormatFetch::Failure::Network);
}

void TestFormatFetch::answer_decidesWhetherFileIsKept()
{
    QFETCH(CannedReply, reply);
    QFETCH(bool, stored);
    QFETCH(int, status);
    QFETCH(QByteArray, doneLine);
    QFETCH(int, failure);

    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(reply);
    QVERIFY(writeFile(QStringLiteral("confxml/VANT-A.xml"), OldContent));

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(server.address()));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), stored);
    QCOMPARE(int(fetch.failure()), failure);
    QCOMPARE(fetch.status(), status);
    QVERIFY2(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"), server.requestLines().join('|').constData());
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), stored ? reply.pieces.value(0) : OldContent);
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});

    QVERIFY2(diag.out.startsWith("http status " + QByteArray::number(status) + "\n"), diag.out.constData());
    QVERIFY2(diag.out.endsWith(doneLine), diag.out.constData());
    const QList<QByteArray> lines = diag.out.split('\n');
    for (int i = 1; i < lines.size() - 2; ++i)
        QVERIFY2(lines.at(i).startsWith("http dataReadProgress("), lines.at(i).constData());
    QVERIFY(diag.err.isEmpty());
}

void TestFormatFetch::requestLine_percentEncodesId_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("requestLine");

    QTest::newRow("blank") << QStringLiteral("VANT DEMO") << QByteArray("GET /confxml2/VANT%20DEMO.xml HTTP/1.1");
    // U+041F U+0423 are D0 9F and D0 A3 in UTF-8.
    QTest::newRow("cyrillic letters") << QString::fromUtf8("\xD0\x9F\xD0\xA3-1")
                                      << QByteArray("GET /confxml2/%D0%9F%D0%A3-1.xml HTTP/1.1");
    QTest::newRow("plus and percent") << QStringLiteral("a+b%c") << QByteArray("GET /confxml2/a%2Bb%25c.xml HTTP/1.1");
    QTest::newRow("query and fragment marks")
        << QStringLiteral("x?y#z") << QByteArray("GET /confxml2/x%3Fy%23z.xml HTTP/1.1");
    QTest::newRow("unreserved stay") << QStringLiteral("Az09-._~") << QByteArray("GET /confxml2/Az09-._~.xml HTTP/1.1");
}

void TestFormatFetch::requestLine_percentEncodesId()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, requestLine);

    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    FormatFetch fetch(id);
    QVERIFY(fetch.setServer(server.address()));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));

    QVERIFY2(server.onlyRequested(requestLine), server.requestLines().join('|').constData());
    QVERIFY(server.requests().value(0).contains("\r\nHost: " + server.address().toLatin1() + "\r\n"));
    // The local name keeps the id as it is.
    QCOMPARE(readFile(QLatin1String("confxml/") + id + QLatin1String(".xml")), Description);
    QCOMPARE(QDir(QStringLiteral("confxml")).entryList(QDir::Files), QStringList{id + QLatin1String(".xml")});
}

void TestFormatFetch::progress_reportsZeroTotalWithoutLength_data()
{
    QTest::addColumn<bool>("withLength");
    QTest::addColumn<int>("lastTotal");
    QTest::newRow("length announced") << true << int(Description.size() * 3);
    QTest::newRow("no length") << false << 0;
}

void TestFormatFetch::progress_reportsZeroTotalWithoutLength()
{
    QFETCH(bool, withLength);
    QFETCH(int, lastTotal);

    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    CannedReply reply = CannedReply::make(200, "OK", Description, false);
    if (withLength)
        reply.head += "Content-Length: " + QByteArray::number(Description.size() * 3) + "\r\n";
    reply.pieces = {Description, Description, Description};
    reply.pieceDelayMs = 50;
    server.setReply(reply);

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(server.address()));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QSignalSpy progress(&fetch, &FormatFetch::dataReadProgress);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));
    QVERIFY(finished.at(0).at(0).toBool());

    QVERIFY(progress.count() >= 1);
    for (const QList<QVariant> &p : std::as_const(progress))
        QCOMPARE(p.at(1).toInt(), lastTotal);
    QCOMPARE(progress.last().at(0).toInt(), int(Description.size() * 3));
    const QByteArray lastLine = "http dataReadProgress(" + QByteArray::number(Description.size() * 3) + ", "
        + QByteArray::number(lastTotal) + ")\nhttp done error=0\n";
    QVERIFY2(diag.out.endsWith(lastLine), diag.out.constData());
}

void TestFormatFetch::abort_midBody_keepsOldFile()
{
    WorkDir work;
    QVERIFY(work.isValid());
    QVERIFY(writeFile(QStringLiteral("confxml/VANT-A.xml"), OldContent));
    HttpTestServer server;
    QVERIFY(server.listen());
    CannedReply reply = CannedReply::make(200, "OK", QByteArray(), false);
    reply.pieces = {Description, Description, Description};
    reply.pieceDelayMs = 5000;
    server.setReply(reply);

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(server.address()));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QSignalSpy progress(&fetch, &FormatFetch::dataReadProgress);
    QSignalSpy dropped(&server, &HttpTestServer::clientDropped);
    QVERIFY(fetch.start());
    QTRY_VERIFY_WITH_TIMEOUT(partOnDisk(QStringLiteral("VANT-A")), HangGuardMs);

    fetch.abort();
    QCOMPARE(finished.count(), 1); // before abort() returns
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(fetch.failure(), FormatFetch::Failure::Canceled);
    QVERIFY(!fetch.isRunning());
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), OldContent);
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});
    QVERIFY(diag.out.endsWith("http done error=1\n"));
    QVERIFY(dropped.count() > 0 || dropped.wait(HangGuardMs));
    QCOMPARE(server.piecesSent(), 1);

    fetch.abort(); // nothing left to stop
    QCOMPARE(finished.count(), 1);
}

void TestFormatFetch::body_overCap_failsAndKeepsOldFile_data()
{
    QTest::addColumn<qint64>("cap"); // 0: the built-in limit
    QTest::addColumn<int>("bodySize");
    QTest::addColumn<bool>("withLength");
    QTest::addColumn<bool>("stored");

    QTest::newRow("exactly the cap, announced") << qint64(1000) << 1000 << true << true;
    QTest::newRow("exactly the cap, no length") << qint64(1000) << 1000 << false << true;
    QTest::newRow("one past the cap, announced") << qint64(1000) << 1001 << true << false;
    QTest::newRow("one past the cap, no length") << qint64(1000) << 1001 << false << false;
    QTest::newRow("16 MiB is accepted") << qint64(0) << 16 * 1024 * 1024 << false << true;
    QTest::newRow("16 MiB plus one, no length") << qint64(0) << 16 * 1024 * 1024 + 1 << false << false;
    QTest::newRow("16 MiB plus one, announced") << qint64(0) << 16 * 1024 * 1024 + 1 << true << false;
}

void TestFormatFetch::body_overCap_failsAndKeepsOldFile()
{
    QFETCH(qint64, cap);
    QFETCH(int, bodySize);
    QFETCH(bool, withLength);
    QFETCH(bool, stored);

    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    const QByteArray body(bodySize, 'x');
    server.setReply(CannedReply::make(200, "OK", body, withLength));
    QVERIFY(writeFile(QStringLiteral("confxml/BIG.xml"), OldContent));

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("BIG"));
    QVERIFY(fetch.setServer(server.address()));
    if (cap)
        fetch.setMaxBodyBytes(cap);
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));

    QCOMPARE(finished.at(0).at(0).toBool(), stored);
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("BIG.xml")});
    if (stored) {
        QCOMPARE(QFileInfo(QStringLiteral("confxml/BIG.xml")).size(), qint64(bodySize));
    } else {
        QCOMPARE(readFile(QStringLiteral("confxml/BIG.xml")), OldContent);
        QCOMPARE(fetch.failure(), FormatFetch::Failure::TooLarge);
        QVERIFY2(diag.out.endsWith("http done error=1\n"), diag.out.right(200).constData());
    }
}

void TestFormatFetch::stalledServer_timesOut_keepsOldFile_data()
{
    QTest::addColumn<bool>("afterFirstPiece");
    QTest::newRow("no answer at all") << false;
    QTest::newRow("stops after part of the body") << true;
}

void TestFormatFetch::stalledServer_timesOut_keepsOldFile()
{
    QFETCH(bool, afterFirstPiece);

    WorkDir work;
    QVERIFY(work.isValid());
    QVERIFY(writeFile(QStringLiteral("confxml/VANT-A.xml"), OldContent));
    HttpTestServer server;
    QVERIFY(server.listen());
    CannedReply reply = CannedReply::make(200, "OK", QByteArray(), false);
    reply.silent = !afterFirstPiece;
    reply.pieces = {Description, Description};
    reply.pieceDelayMs = 60000;
    server.setReply(reply);

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(server.address()));
    fetch.setTransferTimeoutMs(300);
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));

    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(fetch.failure(), FormatFetch::Failure::Timeout);
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), OldContent);
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});
    QVERIFY(diag.out.endsWith("http done error=1\n"));
    QCOMPARE(diag.out.startsWith("http status 200\n"), afterFirstPiece);
}

void TestFormatFetch::refusedConnection_keepsOldFile()
{
    WorkDir work;
    QVERIFY(work.isValid());
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    QVERIFY(writeFile(QStringLiteral("confxml/VANT-A.xml"), OldContent));

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(QStringLiteral("127.0.0.1:%1").arg(closedPort)));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));

    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(fetch.failure(), FormatFetch::Failure::Network);
    QCOMPARE(fetch.status(), 0);
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), OldContent);
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});
    QCOMPARE(diag.out, QByteArray("http done error=1\n"));
    QVERIFY2(fetch.errorText().contains(QStringLiteral("127.0.0.1:%1").arg(closedPort)), qPrintable(fetch.errorText()));
}

void TestFormatFetch::unsafeId_touchesNoFile_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("parent folder") << QStringLiteral("../victim") << QByteArray("Bad format id '../victim'\n");
    QTest::newRow("subfolder") << QStringLiteral("sub/victim") << QByteArray("Bad format id 'sub/victim'\n");
    QTest::newRow("backslash") << QStringLiteral("..\\victim") << QByteArray("Bad format id '..\\victim'\n");
    QTest::newRow("empty") << QString() << QByteArray("Bad format id ''\n");
    QTest::newRow("line break") << QStringLiteral("A\nB") << QByteArray("Bad format id 'A\\x0AB'\n");
}

void TestFormatFetch::unsafeId_touchesNoFile()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, line);

    WorkDir work;
    QVERIFY(work.isValid());
    QVERIFY(QDir().mkdir(QStringLiteral("confxml/sub")));
    const QStringList victims = {QStringLiteral("victim.xml"), QStringLiteral("confxml/sub/victim.xml"),
                                 QStringLiteral("confxml/.xml")};
    for (const QString &v : victims)
        QVERIFY(writeFile(v, OldContent));
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    DiagCapture diag;
    FormatFetch fetch(id);
    QVERIFY(fetch.setServer(server.address()));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(!fetch.start());
    QCOMPARE(fetch.failure(), FormatFetch::Failure::BadId);
    QCOMPARE(diag.out, line);
    QTest::qWait(50);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(server.connections(), 0);
    for (const QString &v : victims)
        QCOMPARE(readFile(v), OldContent);
}

void TestFormatFetch::missingFolder_createdThenFetched()
{
    WorkDir work(false);
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(server.address()));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));
    QVERIFY(finished.at(0).at(0).toBool());
    QVERIFY(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"));
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), Description);
}

void TestFormatFetch::folderCannotBeMade_sendsNothing()
{
    WorkDir work(false);
    QVERIFY(work.isValid());
    QVERIFY(writeFile(QStringLiteral("confxml"), OldContent)); // a file where the folder belongs
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(server.address()));
    QVERIFY(!fetch.start());
    QCOMPARE(fetch.failure(), FormatFetch::Failure::CannotCreateFile);
    QVERIFY(fetch.errorText().contains(QLatin1String("confxml/VANT-A.xml")));
    QTest::qWait(50);
    QCOMPARE(server.connections(), 0);
    QCOMPARE(readFile(QStringLiteral("confxml")), OldContent);
}

void TestFormatFetch::writeFails_endsTransferAndKeepsOldFile_data()
{
    QTest::addColumn<bool>("folderInTheWay");
    QTest::newRow("file size limit cuts the body") << false;
    QTest::newRow("a folder holds the name, the rename fails") << true;
}

void TestFormatFetch::writeFails_endsTransferAndKeepsOldFile()
{
    QFETCH(bool, folderInTheWay);

    WorkDir work;
    QVERIFY(work.isValid());
    if (folderInTheWay) {
        QVERIFY(QDir().mkpath(QStringLiteral("confxml/VANT-A.xml/inside")));
    } else {
        QVERIFY(writeFile(QStringLiteral("confxml/VANT-A.xml"), OldContent));
    }
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("VANT-A"));
    QVERIFY(fetch.setServer(server.address()));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    {
        // Smaller than the body, so the write that reaches the limit fails.
        FileSizeLimit limit(folderInTheWay ? RLIM_INFINITY : rlim_t(Description.size() / 2));
        QVERIFY(limit.ok);
        QVERIFY(fetch.start());
        QVERIFY(waitFinished(fetch, finished));
    }

    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(fetch.failure(), FormatFetch::Failure::WriteFailed);
    QVERIFY2(fetch.errorText().contains(QLatin1String("confxml/VANT-A.xml")), qPrintable(fetch.errorText()));
    QVERIFY(diag.out.endsWith("http done error=1\n"));
    QCOMPARE(entriesOf(QStringLiteral("confxml")), QStringList{QStringLiteral("VANT-A.xml")});
    if (folderInTheWay)
        QCOMPARE(entriesOf(QStringLiteral("confxml/VANT-A.xml")), QStringList{QStringLiteral("inside")});
    else
        QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), OldContent);
}

void TestFormatFetch::serverSetting_isUsed()
{
    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QLatin1String(DescriptionServerKey), server.address());

    FormatFetch fetch(QStringLiteral("VANT-A"));
    QSignalSpy finished(&fetch, &FormatFetch::finished);
    QVERIFY(fetch.start());
    QVERIFY(waitFinished(fetch, finished));
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator")).remove(QLatin1String(DescriptionServerKey));

    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY2(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"), server.requestLines().join('|').constData());
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), Description);
}

void TestFormatFetch::badServerSetting_touchesNoFile()
{
    WorkDir work;
    QVERIFY(work.isValid());
    QVERIFY(writeFile(QStringLiteral("confxml/VANT-A.xml"), OldContent));
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QLatin1String(DescriptionServerKey), QStringLiteral("conf.example:99999"));

    DiagCapture diag;
    FormatFetch fetch(QStringLiteral("VANT-A"));
    const bool started = fetch.start();
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator")).remove(QLatin1String(DescriptionServerKey));

    QVERIFY(!started);
    QCOMPARE(fetch.failure(), FormatFetch::Failure::BadServer);
    QCOMPARE(diag.out, QByteArray("Bad description server 'conf.example:99999'\n"));
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), OldContent);
}

void TestFormatFetch::serverAddress_parses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("name alone takes port 80") << "conf.example.org" << true << "conf.example.org" << 80;
    QTest::newRow("name and port") << "conf.example.org:8080" << true << "conf.example.org" << 8080;
    QTest::newRow("address and port") << "127.0.0.1:1" << true << "127.0.0.1" << 1;
    QTest::newRow("highest port") << "h:65535" << true << "h" << 65535;
    QTest::newRow("blanks around are ignored") << "  h:81 \t" << true << "h" << 81;
    QTest::newRow("bracketed IPv6 with port") << "[::1]:8080" << true << "::1" << 8080;
    QTest::newRow("bracketed IPv6 alone") << "[::1]" << true << "::1" << 80;
    QTest::newRow("upper case name is folded") << "Conf.Example.ORG" << true << "conf.example.org" << 80;

    QTest::newRow("empty") << "" << false << "" << 0;
    QTest::newRow("port without host") << ":80" << false << "" << 0;
    QTest::newRow("colon without port") << "h:" << false << "" << 0;
    QTest::newRow("port zero") << "h:0" << false << "" << 0;
    QTest::newRow("port too large") << "h:65536" << false << "" << 0;
    QTest::newRow("port with sign") << "h:+80" << false << "" << 0;
    QTest::newRow("port not a number") << "h:http" << false << "" << 0;
    QTest::newRow("scheme given") << "http://h" << false << "" << 0;
    QTest::newRow("path given") << "h/confxml2" << false << "" << 0;
    QTest::newRow("blank inside host") << "conf example" << false << "" << 0;
    QTest::newRow("bare IPv6") << "::1" << false << "" << 0;
    QTest::newRow("unclosed bracket") << "[::1:80" << false << "" << 0;
    QTest::newRow("name in brackets") << "[conf]" << false << "" << 0;
    QTest::newRow("user info") << "user@h" << false << "" << 0;
}

void TestFormatFetch::serverAddress_parses()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);

    QString gotHost = QStringLiteral("untouched");
    quint16 gotPort = 7;
    QCOMPARE(parseServerAddress(text, &gotHost, &gotPort), valid);
    if (valid) {
        QCOMPARE(gotHost, host);
        QCOMPARE(int(gotPort), port);
    } else {
        QCOMPARE(gotHost, QStringLiteral("untouched"));
        QCOMPARE(int(gotPort), 7);
    }
}

// An independent server: Python's http.server decodes the request path on its
// own, so a wrongly encoded path would miss the file.
void TestFormatFetch::pythonHttpServer_servesEncodedIdAndMissingFile()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkdir(QStringLiteral("confxml2")));
    const QString id = QString::fromUtf8("VANT \xD0\x94\xD0\x95\xD0\x9C\xD0\x9E 1"); // "VANT ДЕМО 1"
    QVERIFY(writeFile(root.path() + QLatin1String("/confxml2/") + id + QLatin1String(".xml"), Description));

    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("http.server"),
                                             QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                                             QStringLiteral("--directory"), root.path(), QString::number(port)});
    QVERIFY2(python.waitForStarted(), qPrintable(python.errorString()));
    auto stopPython = qScopeGuard([&python] {
        python.terminate();
        if (!python.waitForFinished(5000))
            python.kill();
        python.waitForFinished();
    });
    QTRY_VERIFY_WITH_TIMEOUT(
        [port] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(200);
        }(),
        HangGuardMs);

    WorkDir work;
    QVERIFY(work.isValid());
    const QString server = QStringLiteral("127.0.0.1:%1").arg(port);
    {
        FormatFetch fetch(id);
        QVERIFY(fetch.setServer(server));
        QSignalSpy finished(&fetch, &FormatFetch::finished);
        QVERIFY(fetch.start());
        QVERIFY(waitFinished(fetch, finished));
        QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(fetch.errorText()));
        QCOMPARE(readFile(QLatin1String("confxml/") + id + QLatin1String(".xml")), Description);
    }
    {
        FormatFetch fetch(QStringLiteral("VANT-MISSING"));
        QVERIFY(fetch.setServer(server));
        QSignalSpy finished(&fetch, &FormatFetch::finished);
        QVERIFY(fetch.start());
        QVERIFY(waitFinished(fetch, finished));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QCOMPARE(fetch.status(), 404);
        QVERIFY(!QFileInfo::exists(QStringLiteral("confxml/VANT-MISSING.xml")));
    }
}

QTEST_GUILESS_MAIN(TestFormatFetch)
#include "tst_formatfetch.moc"
