// End to end: the real vant-conf-cli fetching from a loopback HTTP server.
#include "httptestserver.h"
#include "tests/support/clirun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(CannedReply)

namespace {

// Only keeps a broken test from hanging.
constexpr int HangGuardMs = 60000;
const QByteArray Description("<Description id=\"VANT-A\">\n  <Format/>\n  <Tree/>\n</Description>\n");
const QByteArray OldContent("stale local copy");

using Run = CliRun;

Run runCli(const QStringList &args, const QString &workDir, const QString &configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return ::runCli(args, workDir, env);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestCliFetch : public QObject
{
    Q_OBJECT
private slots:
    void fetch_storesOrKeepsOldFile_data();
    void fetch_storesOrKeepsOldFile();
    void fetch_badArguments_usage_data();
    void fetch_badArguments_usage();
    void fetch_unsafeId_touchesNothing();
    void fetch_missingFolder_createdThenStored();
    void fetch_folderCannotBeMade_failsWithoutRequest();
    void fetch_usesServerSetting();
};

void TestCliFetch::fetch_storesOrKeepsOldFile_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<CannedReply>("reply");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("requestLine");
    QTest::addColumn<QByteArray>("outStart");
    QTest::addColumn<QByteArray>("outEnd");

    QTest::newRow("200 stores the body")
        << QStringLiteral("VANT-A") << CannedReply::make(200, "OK", Description) << 0
        << QByteArray("GET /confxml2/VANT-A.xml HTTP/1.1") << QByteArray("http status 200\n")
        << QByteArray("http dataReadProgress(63, 63)\nhttp done error=0\n");
    QTest::newRow("200 without length")
        << QStringLiteral("VANT-A") << CannedReply::make(200, "OK", Description, false) << 0
        << QByteArray("GET /confxml2/VANT-A.xml HTTP/1.1") << QByteArray("http status 200\n")
        << QByteArray("http dataReadProgress(63, 0)\nhttp done error=0\n");
    QTest::newRow("blank and cyrillic in the id")
        << QString::fromUtf8("VANT \xD0\x9F\xD0\xA3") << CannedReply::make(200, "OK", Description) << 0
        << QByteArray("GET /confxml2/VANT%20%D0%9F%D0%A3.xml HTTP/1.1") << QByteArray("http status 200\n")
        << QByteArray("http done error=0\n");
    QTest::newRow("404 keeps the old copy")
        << QStringLiteral("VANT-A") << CannedReply::make(404, "Not Found", "no such file") << 1
        << QByteArray("GET /confxml2/VANT-A.xml HTTP/1.1") << QByteArray("http status 404\n")
        << QByteArray("http done error=0\n");
    QTest::newRow("redirect is not followed")
        << QStringLiteral("VANT-A")
        << CannedReply::make(302, "Found", "moved", true, "Location: /confxml2/VANT-B.xml\r\n") << 1
        << QByteArray("GET /confxml2/VANT-A.xml HTTP/1.1") << QByteArray("http status 302\n")
        << QByteArray("http done error=0\n");
}

void TestCliFetch::fetch_storesOrKeepsOldFile()
{
    QFETCH(QString, id);
    QFETCH(CannedReply, reply);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, requestLine);
    QFETCH(QByteArray, outStart);
    QFETCH(QByteArray, outEnd);

    QTemporaryDir work, config;
    QVERIFY(work.isValid() && config.isValid());
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("confxml")));
    const QString target = work.path() + QLatin1String("/confxml/") + id + QLatin1String(".xml");
    QVERIFY(writeFile(target, OldContent));
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(reply);

    const Run r = runCli({QStringLiteral("fetch"), id, QStringLiteral("--server"), server.address()}, work.path(),
                         config.path());
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(server.onlyRequested(requestLine), server.requestLines().join('|').constData());
    // The transfer's lines go to standard error, before the command's own line on a failure.
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.startsWith(outStart), r.err.constData());
    if (exitCode == 0) {
        QVERIFY2(r.err.endsWith(outEnd), r.err.constData());
        QCOMPARE(readFile(target), Description);
    } else {
        QCOMPARE(QDir(work.path() + QLatin1String("/confxml")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QFileInfo(target).fileName()});
        QCOMPARE(readFile(target), OldContent);
        const qsizetype own = r.err.lastIndexOf("vant-conf-cli: ");
        QVERIFY2(own > 0 && r.err.left(own).endsWith(outEnd), r.err.constData());
        QVERIFY2(r.err.mid(own).count('\n') == 1, r.err.constData());
        QVERIFY2(r.err.contains("HTTP status " + outStart.mid(12, 3)), r.err.constData());
    }
}

void TestCliFetch::fetch_badArguments_usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no id") << QStringList{QStringLiteral("fetch")};
    QTest::newRow("two ids") << QStringList{QStringLiteral("fetch"), QStringLiteral("A"), QStringLiteral("B")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("fetch"), QStringLiteral("A"), QStringLiteral("--port")};
    QTest::newRow("server without value") << QStringList{QStringLiteral("fetch"), QStringLiteral("A"),
                                                         QStringLiteral("--server")};
    QTest::newRow("server with bad port") << QStringList{QStringLiteral("fetch"), QStringLiteral("A"),
                                                         QStringLiteral("--server"), QStringLiteral("h:70000")};
    QTest::newRow("server given twice")
        << QStringList{QStringLiteral("fetch"), QStringLiteral("A"), QStringLiteral("--server"), QStringLiteral("h"),
                       QStringLiteral("--server"), QStringLiteral("h")};
}

void TestCliFetch::fetch_badArguments_usage()
{
    QFETCH(QStringList, args);
    QTemporaryDir work, config;
    QVERIFY(work.isValid() && config.isValid());
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("confxml")));

    const Run r = runCli(args, work.path(), config.path());
    QCOMPARE(r.exitCode, 64);
    QVERIFY2(r.err.contains("usage: vant-conf-cli fetch ID [--server HOST[:PORT]]"), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(QDir(work.path() + QLatin1String("/confxml")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
}

void TestCliFetch::fetch_unsafeId_touchesNothing()
{
    QTemporaryDir work, config;
    QVERIFY(work.isValid() && config.isValid());
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("confxml")));
    QVERIFY(writeFile(work.path() + QLatin1String("/victim.xml"), OldContent));
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    const Run r = runCli({QStringLiteral("fetch"), QStringLiteral("../victim"), QStringLiteral("--server"),
                          server.address()},
                         work.path(), config.path());
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, QByteArray("Bad format id '../victim'\n"
                               "vant-conf-cli: description not fetched: bad format id '../victim'\n"));
    QCOMPARE(server.connections(), 0);
    QCOMPARE(readFile(work.path() + QLatin1String("/victim.xml")), OldContent);
}

void TestCliFetch::fetch_missingFolder_createdThenStored()
{
    QTemporaryDir work, config;
    QVERIFY(work.isValid() && config.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    const Run r = runCli({QStringLiteral("fetch"), QStringLiteral("VANT-A"), QStringLiteral("--server"),
                          server.address()},
                         work.path(), config.path());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.endsWith("http done error=0\n"), r.err.constData());
    QVERIFY(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"));
    QCOMPARE(readFile(work.path() + QLatin1String("/confxml/VANT-A.xml")), Description);
}

void TestCliFetch::fetch_folderCannotBeMade_failsWithoutRequest()
{
    QTemporaryDir work, config;
    QVERIFY(work.isValid() && config.isValid());
    QVERIFY(writeFile(work.path() + QLatin1String("/confxml"), OldContent));
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));

    const Run r = runCli({QStringLiteral("fetch"), QStringLiteral("VANT-A"), QStringLiteral("--server"),
                          server.address()},
                         work.path(), config.path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith("vant-conf-cli: description not fetched: cannot create 'confxml/VANT-A.xml'"),
             r.err.constData());
    QCOMPARE(server.connections(), 0);
    QCOMPARE(readFile(work.path() + QLatin1String("/confxml")), OldContent);
}

void TestCliFetch::fetch_usesServerSetting()
{
    QTemporaryDir work, config;
    QVERIFY(work.isValid() && config.isValid());
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("confxml")));
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", Description));
    {
        // Where the tool's settings store lives when XDG_CONFIG_HOME points here.
        QSettings store(config.path() + QLatin1String("/VANT/Device-Configurator.conf"), QSettings::IniFormat);
        store.setValue(QStringLiteral("Download/Server"), server.address());
    }

    const Run r = runCli({QStringLiteral("fetch"), QStringLiteral("VANT-A")}, work.path(), config.path());
    QCOMPARE(r.exitCode, 0);
    QVERIFY(server.onlyRequested("GET /confxml2/VANT-A.xml HTTP/1.1"));
    QCOMPARE(readFile(work.path() + QLatin1String("/confxml/VANT-A.xml")), Description);
}

QTEST_GUILESS_MAIN(TestCliFetch)
#include "tst_cli_fetch.moc"
