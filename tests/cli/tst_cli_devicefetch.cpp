// The device commands of vant-conf-cli when the description of the device's format is not in
// confxml/: the real tool against the device simulator over a pseudo-terminal, fetching the
// description from a description server on loopback.
#include "tests/support/clirun.h"
#include "httptestserver.h"
#include "tests/support/simprocess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(CannedReply)

namespace {

constexpr int HangGuardMs = 60000;

const QByteArray Description = "<Device id=\"VANT-F1\"><Format><byte name=\"a\"/><word name=\"b\"/></Format>"
                               "<Tree name=\"T\"><Var var=\"a\"/><Var var=\"b\"/></Tree></Device>";

// a = 0x12, b = 0x3456; CRC-16/MODBUS over the size and data, low byte first.
QByteArray image()
{
    return QByteArray::fromHex("0300125634FE72");
}

using Run = CliRun;

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

class TestCliDeviceFetch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void download_missingDescription_fetchedThenImageWritten();
    void download_descriptionNotFetched_failsWithoutOutput_data();
    void download_descriptionNotFetched_failsWithoutOutput();
    void upload_missingDescription_fetchedThenImageSent();

private:
    Run cli(const QStringList &args);

    QTemporaryDir *work = nullptr;
    HttpTestServer *server = nullptr;
    QString imagePath;
};

void TestCliDeviceFetch::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_CLI").isEmpty() && !qgetenv("VANT_DEVSIM").isEmpty(), "run through ctest");
}

void TestCliDeviceFetch::init()
{
    work = new QTemporaryDir;
    QVERIFY(QDir(work->path()).mkpath(QStringLiteral("confxml")));
    imagePath = work->filePath(QStringLiteral("device-image.bin"));
    QVERIFY(writeFile(imagePath, image()));
    server = new HttpTestServer;
    QVERIFY(server->listen());
    // The tool runs with this process's settings store (XDG_CONFIG_HOME is inherited).
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QStringLiteral("Download/Server"), server->address());
}

void TestCliDeviceFetch::cleanup()
{
    delete server;
    server = nullptr;
    delete work;
    work = nullptr;
}

// The server lives in this process, so the event loop keeps running while the tool works.
Run TestCliDeviceFetch::cli(const QStringList &args)
{
    return runCli(args, work->path(), withDataHome(work->filePath(QStringLiteral("data"))));
}

void TestCliDeviceFetch::download_missingDescription_fetchedThenImageWritten()
{
    server->setReply(CannedReply::make(200, "OK", Description));
    SimProcess sim;
    const QString port = sim.start({QStringLiteral("--no-pace"), QStringLiteral("--software-id"),
                                    QStringLiteral("VANT-F1"), QStringLiteral("--image"), imagePath});
    QVERIFY(!port.isEmpty());

    const QString out = work->filePath(QStringLiteral("out.bin"));
    const Run run = cli({QStringLiteral("download"), QStringLiteral("--link"), port, QStringLiteral("-o"), out});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Transfer ok.\n"));
    QVERIFY2(run.err.contains("XML error\nDownloading format...\nhttp status 200\n"), run.err.constData());
    QVERIFY(server->onlyRequested("GET /confxml2/VANT-F1.xml HTTP/1.1"));
    QCOMPARE(readFile(work->filePath(QStringLiteral("confxml/VANT-F1.xml"))), Description);
    QCOMPARE(readFile(out).toHex(' '), image().toHex(' '));

    // The description is now local: the next download asks the server nothing.
    const int asked = server->connections();
    const Run again = cli({QStringLiteral("download"), QStringLiteral("--link"), port, QStringLiteral("-o"), out});
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(again.out, QByteArray("Transfer ok.\n"));
    QVERIFY2(again.err.endsWith("\nConfig ok\n"), again.err.constData());
    QCOMPARE(server->connections(), asked);
}

void TestCliDeviceFetch::download_descriptionNotFetched_failsWithoutOutput_data()
{
    QTest::addColumn<CannedReply>("reply");
    QTest::addColumn<QByteArray>("errTail");

    QTest::newRow("server has none")
        << CannedReply::make(404, "Not Found", "no") << QByteArray("HTTP status 404\n");
    QTest::newRow("server sends a description of another id")
        << CannedReply::make(200, "OK", QByteArray(Description).replace("VANT-F1", "VANT-F2"))
        << QByteArray("vant-conf-cli: 'confxml/VANT-F1.xml' describes 'VANT-F2', not 'VANT-F1'\n");
}

void TestCliDeviceFetch::download_descriptionNotFetched_failsWithoutOutput()
{
    QFETCH(CannedReply, reply);
    server->setReply(reply);
    SimProcess sim;
    const QString port = sim.start({QStringLiteral("--no-pace"), QStringLiteral("--software-id"),
                                    QStringLiteral("VANT-F1"), QStringLiteral("--image"), imagePath});
    QVERIFY(!port.isEmpty());

    const QString out = work->filePath(QStringLiteral("out.bin"));
    const Run run = cli({QStringLiteral("download"), QStringLiteral("--link"), port, QStringLiteral("-o"), out});
    QCOMPARE(run.exitCode, 7);
    QFETCH(QByteArray, errTail);
    QVERIFY2(run.err.endsWith(errTail), run.err.constData());
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err.count("Downloading format..."), 1);
    QVERIFY(!QFile::exists(out));
}

void TestCliDeviceFetch::upload_missingDescription_fetchedThenImageSent()
{
    server->setReply(CannedReply::make(200, "OK", Description));
    const QString values = work->filePath(QStringLiteral("values.xml"));
    QVERIFY(writeFile(values, "<!DOCTYPE Configuration>\n<Configuration id=\"VANT-F1\">\n"
                              "<Var name=\"a\" value=\"1\"/>\n<Var name=\"b\" value=\"300\"/>\n</Configuration>\n"));
    QVERIFY(QFile::remove(imagePath));
    SimProcess sim;
    const QString port = sim.start({QStringLiteral("--no-pace"), QStringLiteral("--software-id"),
                                    QStringLiteral("VANT-F1"), QStringLiteral("--image"), imagePath});
    QVERIFY(!port.isEmpty());

    const Run run = cli({QStringLiteral("upload"), QStringLiteral("--link"), port, values});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(server->onlyRequested("GET /confxml2/VANT-F1.xml HTTP/1.1"));
    // a = 1, b = 300; CRC-16/MODBUS low byte first.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(imagePath).toHex(' '), QByteArray("03 00 01 2c 01 ec c0"), 3000);
}

QTEST_GUILESS_MAIN(TestCliDeviceFetch)
#include "tst_cli_devicefetch.moc"
