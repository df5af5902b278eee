// vant-conf-cli over the simulated HID device that VANT_HID_SIM selects: the identifiers, an
// upload and a download of the sample values, a firmware update, and no device without it.
#include "tests/support/clirun.h"
#include "tests/support/devicefiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = CliRun;

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestHidCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void identify_withAndWithoutSimulator_data();
    void identify_withAndWithoutSimulator();
    void upload_thenDownload_storesAndReturnsImage();
    void firmware_payloadReachesDevice();

private:
    Run cli(const QStringList &args, bool simulated = true);

    QTemporaryDir work;
    QTemporaryDir registry;
    QTemporaryDir dataHome; // where the writing commands keep their backups
    QString imagePath;
};

void TestHidCli::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_CLI").isEmpty(), "VANT_CLI is not set");
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("confxml")));
    QVERIFY(QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/confxml/VANT-DEMO-1.xml"),
                        work.filePath(QStringLiteral("confxml/VANT-DEMO-1.xml"))));
    QVERIFY(QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/confxml/samples/VANT-DEMO-1-values.xml"),
                        work.filePath(QStringLiteral("values.xml"))));
    imagePath = work.filePath(QStringLiteral("hid-image.bin"));
}

Run TestHidCli::cli(const QStringList &args, bool simulated)
{
    QProcessEnvironment env = withDataHome(dataHome.path());
    env.insert(QStringLiteral("VANT_PORT_REGISTRY"), registry.path()); // no serial simulator in the choice
    if (simulated)
        env.insert(QStringLiteral("VANT_HID_SIM"), imagePath);
    else
        env.remove(QStringLiteral("VANT_HID_SIM"));
    return runCli(args, work.path(), env);
}

void TestHidCli::identify_withAndWithoutSimulator_data()
{
    QTest::addColumn<bool>("simulated");
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    const QByteArray ids = "Hardware ID: VANT-HW-1\nSoftware ID: VANT-DEMO-1\n";
    QTest::newRow("HID with the simulator") << true << "HID" << 0 << ids << QByteArray();
    QTest::newRow("AUTO with the simulator: HID first") << true << "AUTO" << 0 << ids << QByteArray();
    QTest::newRow("HID without it: not found")
        << false << "HID" << 2 << QByteArray()
        << QByteArray("Can't open USB device\nvant-conf-cli: Device not found.\n");
}

void TestHidCli::identify_withAndWithoutSimulator()
{
    QFETCH(bool, simulated);
    QFETCH(QString, link);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const Run run = cli({QStringLiteral("identify"), QStringLiteral("--link"), link}, simulated);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err, err);
}

void TestHidCli::upload_thenDownload_storesAndReturnsImage()
{
    QFile::remove(imagePath);
    const QString expectedPath = work.filePath(QStringLiteral("expected.bin"));
    QCOMPARE(cli({QStringLiteral("pack"), QStringLiteral("confxml/VANT-DEMO-1.xml"), QStringLiteral("values.xml"),
                  QStringLiteral("-o"), expectedPath}).exitCode, 0);
    const QByteArray expected = readFile(expectedPath);
    QVERIFY(expected.size() > 4);

    Run run = cli({QStringLiteral("upload"), QStringLiteral("--link"), QStringLiteral("HID"), QStringLiteral("values.xml")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(imagePath), expected);

    const QString downloaded = work.filePath(QStringLiteral("downloaded.bin"));
    run = cli({QStringLiteral("download"), QStringLiteral("--link"), QStringLiteral("HID"), QStringLiteral("-o"), downloaded});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Transfer ok.\n"));
    QVERIFY2(run.err.endsWith("Config ok\n"), run.err.constData());
    QCOMPARE(readFile(downloaded), expected);
}

void TestHidCli::firmware_payloadReachesDevice()
{
    QByteArray payload(100, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7 + 1);
    const QByteArray file = testfiles::makeFirmware("VANT-HW-1", payload);
    const QString fw = work.filePath(QStringLiteral("update.fw"));
    QFile f(fw);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();

    const Run run = cli({QStringLiteral("firmware"), QStringLiteral("--link"), QStringLiteral("HID"), fw});
    QCOMPARE(run.exitCode, 0);
    // Two blocks; the device keeps them as sent, the fill of the second included.
    QCOMPARE(readFile(imagePath + QLatin1String(".firmware")), payload + QByteArray(28, char(0xFF)));
}

QTEST_GUILESS_MAIN(TestHidCli)
#include "tst_hid_cli.moc"
