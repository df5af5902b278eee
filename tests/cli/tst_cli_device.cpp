// The device commands of vant-conf-cli end to end: the real tool against the device simulator
// over a pseudo-terminal, in a working directory with its own confxml/.
#include "tests/support/clirun.h"
#include "tests/support/devicefiles.h"
#include "format/confformat.h"
#include "tests/support/simprocess.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using testfiles::makeFirmware;

namespace {

using Run = CliRun;

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestCliDevice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void identify_printsBothIdentifiers();
    void identifyJson_oneDocument_data();
    void identifyJson_oneDocument();
    void ports_listsRegisteredSimulator();
    void upload_thenDownload_imageAndValuesRoundTrip();
    void firmware_deliversPayload_withProgress();
    void failures_exitWithResultCodeAndMessage_data();
    void failures_exitWithResultCodeAndMessage();
    void usage_errors_data();
    void usage_errors();
    void interrupt_cancelsTransfer_data();
    void interrupt_cancelsTransfer();
    void timeout_cancelsAndExits4_data();
    void timeout_cancelsAndExits4();
    void auto_findsRegisteredSimulator();
    void workerThreadRefused_unknownErrorNotSuccess();
    void backup_keepsPreviousImage_andRestoringItPutsDeviceBack();
    void backupFails_nothingWritten_data();
    void backupFails_nothingWritten();
    void dryRun_listsDifferences_writesNothing_data();
    void dryRun_listsDifferences_writesNothing();

private:
    Run cli(const QStringList &args, const QString &dataHome = QString());
    QString startSim(SimProcess &sim, const QStringList &extra = {});
    QByteArray pack(const QString &valuesFile, const QString &name);
    QStringList backupFiles() const;

    QTemporaryDir work;
    QTemporaryDir registry;
    // The tool keeps its backups below its data folder; never in the user's own.
    QTemporaryDir dataHome;
    QString imagePath, firmwareSink, valuesPath, otherValuesPath;
};

void TestCliDevice::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_CLI").isEmpty() && !qgetenv("VANT_DEVSIM").isEmpty(), "run through ctest");
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("confxml")));
    QVERIFY(QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/confxml/VANT-DEMO-1.xml"),
                        work.filePath(QStringLiteral("confxml/VANT-DEMO-1.xml"))));
    valuesPath = work.filePath(QStringLiteral("values.xml"));
    QVERIFY(QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/confxml/samples/VANT-DEMO-1-values.xml"), valuesPath));
    imagePath = work.filePath(QStringLiteral("device-image.bin"));
    firmwareSink = work.filePath(QStringLiteral("device-firmware.bin"));
    // The sample values with two of them changed.
    otherValuesPath = work.filePath(QStringLiteral("other-values.xml"));
    QByteArray other = readFile(valuesPath);
    QVERIFY(other.contains("name=\"Address\" value=\"12\"") && other.contains("value=\"Boiler room\""));
    other.replace("name=\"Address\" value=\"12\"", "name=\"Address\" value=\"13\"")
        .replace("value=\"Boiler room\"", "value=\"Pump room\"");
    QVERIFY(writeFile(otherValuesPath, other));
    // Keep the machine's own registry out of the automatic choice.
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
    // A missing description is fetched; here from a loopback port where nobody listens, so
    // it fails at once and reaches no real server.
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QStringLiteral("Download/Server"), QStringLiteral("127.0.0.1:1"));
}

void TestCliDevice::init()
{
    QFile::remove(imagePath);
    QFile::remove(firmwareSink);
    QVERIFY(QDir(dataHome.path()).removeRecursively() && QDir().mkpath(dataHome.path()));
}

Run TestCliDevice::cli(const QStringList &args, const QString &dataHomePath)
{
    return runCli(args, work.path(), withDataHome(dataHomePath.isEmpty() ? dataHome.path() : dataHomePath));
}

QByteArray TestCliDevice::pack(const QString &valuesFile, const QString &name)
{
    const QString path = work.filePath(name);
    const Run run = cli({QStringLiteral("pack"), QStringLiteral("confxml/VANT-DEMO-1.xml"), valuesFile,
                         QStringLiteral("-o"), path});
    return run.exitCode == 0 ? readFile(path) : QByteArray();
}

QStringList TestCliDevice::backupFiles() const
{
    QStringList files;
    QDirIterator it(dataHome.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QString TestCliDevice::startSim(SimProcess &sim, const QStringList &extra)
{
    return sim.start(QStringList{QStringLiteral("--image"), imagePath, QStringLiteral("--firmware"), firmwareSink}
                     + extra);
}

void TestCliDevice::identify_printsBothIdentifiers()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());
    const Run run = cli({QStringLiteral("identify"), QStringLiteral("--link"), port});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Hardware ID: VANT-HW-1\nSoftware ID: VANT-DEMO-1\n"));
}

void TestCliDevice::identifyJson_oneDocument_data()
{
    QTest::addColumn<QString>("hardwareId");
    QTest::addColumn<QString>("softwareId");
    QTest::newRow("the simulator's own") << "VANT-HW-1" << "VANT-DEMO-1";
    QTest::newRow("quotes and backslash escaped") << "HW \"1\" \\ A" << "SW\\2\"";
}

void TestCliDevice::identifyJson_oneDocument()
{
    QFETCH(QString, hardwareId);
    QFETCH(QString, softwareId);
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--hardware-id"), hardwareId,
                                        QStringLiteral("--software-id"), softwareId});
    QVERIFY(!port.isEmpty());
    const Run run = cli({QStringLiteral("identify"), QStringLiteral("--json"), QStringLiteral("--link"), port});
    QCOMPARE(run.exitCode, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, run.out.constData());
    QCOMPARE(document.object(), (QJsonObject{{QStringLiteral("hardwareId"), hardwareId},
                                             {QStringLiteral("softwareId"), softwareId}}));
    QVERIFY(run.out.endsWith("}\n"));
}

void TestCliDevice::ports_listsRegisteredSimulator()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--register")});
    QVERIFY(!port.isEmpty());
    const Run run = cli({QStringLiteral("ports")});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QVERIFY2(lines.contains(port.toLocal8Bit() + "\tVANT USB Serial (simulator)"), run.out.constData());
    QCOMPARE(cli({QStringLiteral("ports"), QStringLiteral("extra")}).exitCode, 64);
}

void TestCliDevice::upload_thenDownload_imageAndValuesRoundTrip()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());

    // The image the format commands make of the value file is what the device must store.
    const QString expectedPath = work.filePath(QStringLiteral("expected.bin"));
    QCOMPARE(cli({QStringLiteral("pack"), QStringLiteral("confxml/VANT-DEMO-1.xml"), valuesPath,
                  QStringLiteral("-o"), expectedPath}).exitCode, 0);
    const QByteArray expected = readFile(expectedPath);
    QVERIFY(expected.size() > 4);

    Run run = cli({QStringLiteral("upload"), QStringLiteral("--link"), port, valuesPath});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.endsWith("Transfer ok.\n"));
    QTRY_COMPARE_WITH_TIMEOUT(readFile(imagePath).toHex(), expected.toHex(), 3000);
    // The device held nothing yet: no empty backup, and the first upload is not refused.
    QVERIFY2(run.err.contains("the device holds no configuration, no backup kept"), run.err.constData());
    QCOMPARE(backupFiles(), QStringList());

    const QString bin = work.filePath(QStringLiteral("down.bin"));
    run = cli({QStringLiteral("download"), QStringLiteral("--link"), port, QStringLiteral("-o"), bin});
    QCOMPARE(run.exitCode, 0);
    // Whole blocks came over the line; the file holds the image proper.
    QCOMPARE(readFile(bin).toHex(), expected.toHex());

    const QString xml = work.filePath(QStringLiteral("down.xml"));
    run = cli({QStringLiteral("download"), QStringLiteral("--link=") + port, QStringLiteral("-o"), xml});
    QCOMPARE(run.exitCode, 0);
    const QString repacked = work.filePath(QStringLiteral("repacked.bin"));
    QCOMPARE(cli({QStringLiteral("pack"), QStringLiteral("confxml/VANT-DEMO-1.xml"), xml,
                  QStringLiteral("-o"), repacked}).exitCode, 0);
    QCOMPARE(readFile(repacked).toHex(), expected.toHex());
}

void TestCliDevice::firmware_deliversPayload_withProgress()
{
    QByteArray payload(16384, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 11 + i / 128);
    const QString fw = work.filePath(QStringLiteral("update.fw"));
    QVERIFY(writeFile(fw, makeFirmware("VANT-HW-1", payload)));
    SimProcess sim;
    const QString port = startSim(sim); // paced: about 1.5 s on the line
    QVERIFY(!port.isEmpty());
    // Only the update's own progress: no backup read before it.
    const Run run = cli({QStringLiteral("firmware"), QStringLiteral("--no-backup"), QStringLiteral("--link"), port, fw});
    QCOMPARE(run.exitCode, 0);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(firmwareSink).size(), payload.size(), 3000);
    QCOMPARE(readFile(firmwareSink), payload);

    // Progress: a line rewritten in place, rising, ending at 100 and a line break.
    QVERIFY2(run.err.endsWith("Transfer: 100%\n"), run.err.constData());
    QList<int> values;
    for (const QByteArray &part : run.err.trimmed().split('\r')) {
        if (part.isEmpty())
            continue;
        QVERIFY2(part.startsWith("Transfer: ") && part.endsWith('%'), part.constData());
        values.append(part.mid(10, part.size() - 11).toInt());
    }
    QVERIFY2(values.size() >= 10, qPrintable(QString::number(values.size())));
    for (int i = 1; i < values.size(); ++i)
        QVERIFY(values[i] > values[i - 1]);
}

void TestCliDevice::failures_exitWithResultCodeAndMessage_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("simArgs"); // empty: no simulator, the link is used as given
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");
    const QStringList quiet{QStringLiteral("--no-pace")};
    QTest::newRow("missing port: COM-port error")
        << "identify" << QStringList() << "/nonexistent/ttyVANT" << 1 << QByteArray("vant-conf-cli: COM-port error.\n");
    QTest::newRow("automatic choice without a device: not found")
        << "identify" << QStringList() << "AUTO" << 2 << QByteArray("vant-conf-cli: Device not found.\n");
    QTest::newRow("damaged firmware file: file error")
        << "firmware-bad" << quiet << QString() << 3 << QByteArray("vant-conf-cli: File error.\n");
    QTest::newRow("silent device: protocol error")
        << "identify" << (quiet + QStringList{QStringLiteral("--fault"), QStringLiteral("silence")}) << QString() << 4
        << QByteArray("vant-conf-cli: Protocol error.\n");
    QTest::newRow("upload to another format: incompatible")
        << "upload" << (quiet + QStringList{QStringLiteral("--software-id"), QStringLiteral("VANT-OTHER")}) << QString()
        << 6 << QByteArray("vant-conf-cli: Incompatible version of hardware/software.\n");
    QTest::newRow("firmware for other hardware: incompatible")
        << "firmware-other" << quiet << QString() << 6
        << QByteArray("vant-conf-cli: Incompatible version of hardware/software.\n");
    QTest::newRow("download of a format without description")
        << "download" << (quiet + QStringList{QStringLiteral("--software-id"), QStringLiteral("VANT-OTHER")})
        << QString() << 7 << QByteArray();
    QTest::newRow("download of a device id that leaves confxml/")
        << "download" << (quiet + QStringList{QStringLiteral("--software-id"), QStringLiteral("../VANT-DEMO-1")})
        << QString() << 7 << QByteArray();
    QTest::newRow("download of an empty image: format error")
        << "download" << (quiet + QStringList{QStringLiteral("--fault"), QStringLiteral("eot-first")}) << QString()
        << 7 << QByteArray("vant-conf-cli: Binary data format error.\n");
}

void TestCliDevice::failures_exitWithResultCodeAndMessage()
{
    QFETCH(QString, command);
    QFETCH(QStringList, simArgs);
    QFETCH(QString, link);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    SimProcess sim;
    if (!simArgs.isEmpty()) {
        link = startSim(sim, simArgs);
        QVERIFY(!link.isEmpty());
    }
    QStringList args{QStringLiteral("--link"), link};
    if (command == QLatin1String("identify")) {
        args.prepend(command);
    } else if (command == QLatin1String("upload")) {
        args = QStringList{command} + args + QStringList{valuesPath};
    } else if (command == QLatin1String("download")) {
        args = QStringList{command} + args + QStringList{QStringLiteral("-o"), work.filePath(QStringLiteral("x.bin"))};
    } else {
        const QString fw = work.filePath(QStringLiteral("x.fw"));
        QByteArray file = makeFirmware(command == QLatin1String("firmware-other") ? "VANT-HW-2" : "VANT-HW-1",
                                       QByteArray(300, 'p'));
        if (command == QLatin1String("firmware-bad"))
            file[100] = 'q';
        QVERIFY(writeFile(fw, file));
        args = QStringList{QStringLiteral("firmware")} + args + QStringList{fw};
    }
    const Run run = cli(args);
    QCOMPARE(run.exitCode, exitCode);
    if (!message.isEmpty())
        QVERIFY2(run.err.endsWith(message), run.err.constData());
    else
        QVERIFY(run.err.contains("vant-conf-cli: "));
    QVERIFY(!QFile::exists(work.filePath(QStringLiteral("x.bin"))));
    // An id from the device never leads a description out of confxml/.
    QVERIFY(!QFile::exists(work.filePath(QStringLiteral("VANT-DEMO-1.xml"))));
}

void TestCliDevice::usage_errors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("download without output") << QStringList{QStringLiteral("download"), QStringLiteral("--link"), QStringLiteral("AUTO")};
    QTest::newRow("link without value") << QStringList{QStringLiteral("identify"), QStringLiteral("--link")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("identify"), QStringLiteral("--baud"), QStringLiteral("9600")};
    QTest::newRow("identify takes no file") << QStringList{QStringLiteral("identify"), QStringLiteral("x.xml")};
    QTest::newRow("upload without values") << QStringList{QStringLiteral("upload")};
    QTest::newRow("firmware with two files") << QStringList{QStringLiteral("firmware"), QStringLiteral("a.fw"), QStringLiteral("b.fw")};
    for (const char *bad : {"0", "-1", "soon", "1e9"})
        QTest::newRow(qPrintable(QStringLiteral("timeout %1").arg(QLatin1String(bad))))
            << QStringList{QStringLiteral("identify"), QStringLiteral("--timeout"), QLatin1String(bad)};
}

void TestCliDevice::usage_errors()
{
    QFETCH(QStringList, args);
    const Run run = cli(args);
    QCOMPARE(run.exitCode, 64);
    QVERIFY2(run.err.contains("usage: vant-conf-cli " + args.first().toLatin1()), run.err.constData());
}

void TestCliDevice::interrupt_cancelsTransfer_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("upload") << "upload" << "vant-conf-cli: Transfer canceled.\n";
    QTest::newRow("provision") << "provision" << ": failed: Transfer canceled.\n";
}

void TestCliDevice::interrupt_cancelsTransfer()
{
    QFETCH(QString, command);
    QFETCH(QString, lastLine);
    // The device never asks for the first block: only a cancel ends the upload.
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--fault"), QStringLiteral("no-start-nak")});
    QVERIFY(!port.isEmpty());
    QProcess p;
    p.setWorkingDirectory(work.path());
    p.setProcessEnvironment(withDataHome(dataHome.path()));
    const QStringList args = command == QLatin1String("upload")
                                 ? QStringList{command, QStringLiteral("--link"), port, valuesPath}
                                 : QStringList{command, valuesPath, QStringLiteral("--no-backup"), QStringLiteral("--link"), port};
    p.start(QString::fromLocal8Bit(qgetenv("VANT_CLI")), args);
    QVERIFY(p.waitForStarted());
    QVERIFY(!p.waitForFinished(1000));
    ::kill(pid_t(p.processId()), SIGINT);
    // Every wait looks at the request every few milliseconds.
    QVERIFY(p.waitForFinished(1500));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 5);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.endsWith(lastLine.toUtf8()), err.constData());
    QVERIFY(!QFile::exists(imagePath));
}

void TestCliDevice::timeout_cancelsAndExits4_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("fault");
    // The device never asks for the first block, or identifies itself and then says nothing.
    QTest::newRow("upload, no start NAK") << "upload" << "no-start-nak";
    QTest::newRow("download, silent after identifying") << "download" << "delay-first-block:60000";
}

void TestCliDevice::timeout_cancelsAndExits4()
{
    QFETCH(QString, command);
    QFETCH(QString, fault);
    const QByteArray stored(300, 's'); // a device with an empty image would end a download at once
    QVERIFY(writeFile(imagePath, stored));
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--fault"), fault});
    QVERIFY(!port.isEmpty());
    QStringList args{command, QStringLiteral("--timeout"), QStringLiteral("0.5"), QStringLiteral("--link"), port};
    args += command == QLatin1String("upload") ? QStringList{valuesPath}
                                               : QStringList{QStringLiteral("-o"), work.filePath(QStringLiteral("x.bin"))};
    QElapsedTimer timer;
    timer.start();
    const Run run = cli(args);
    QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.endsWith("vant-conf-cli: timed out after 0.5 s\n"), run.err.constData());
    QVERIFY(run.out.isEmpty());
    QCOMPARE(readFile(imagePath), stored);
    QVERIFY(!QFile::exists(work.filePath(QStringLiteral("x.bin"))));
}

void TestCliDevice::auto_findsRegisteredSimulator()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--register")});
    QVERIFY(!port.isEmpty());
    const Run run = cli({QStringLiteral("identify")}); // the link defaults to AUTO
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(": '" + port.toLocal8Bit() + " VANT USB Serial (simulator)'\n"), run.err.constData());
    QCOMPARE(run.out, QByteArray("Hardware ID: VANT-HW-1\nSoftware ID: VANT-DEMO-1\n"));
}

void TestCliDevice::workerThreadRefused_unknownErrorNotSuccess()
{
    // A thread's stack is sized by the stack limit; a limit of 100 TiB asks for more than the
    // address space can map, so the system refuses every new thread and the worker never
    // runs. The address space itself is left alone: a sanitizer build maps its shadow there.
    QProcess p;
    p.setWorkingDirectory(work.path());
    p.setChildProcessModifier([] {
        const rlimit stack{rlim_t(100) << 40, rlim_t(100) << 40};
        if (setrlimit(RLIMIT_STACK, &stack) != 0)
            _exit(125);
    });
    p.start(QString::fromLocal8Bit(qgetenv("VANT_CLI")),
            {QStringLiteral("identify"), QStringLiteral("--link"), QStringLiteral("/dev/null")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    // Qt reports the refused thread on a line of its own before ours.
    const QByteArray err = p.readAllStandardError();
    const QByteArray last = "vant-conf-cli: Unknown error.\n";
    QVERIFY2(err == last || err.endsWith('\n' + last), err.constData());
    QCOMPARE(p.readAllStandardOutput(), QByteArray());
    QCOMPARE(p.exitCode(), 1);
}

void TestCliDevice::backup_keepsPreviousImage_andRestoringItPutsDeviceBack()
{
    const QByteArray before = pack(otherValuesPath, QStringLiteral("before.bin"));
    const QByteArray after = pack(valuesPath, QStringLiteral("after.bin"));
    QVERIFY(!before.isEmpty() && before != after);
    QVERIFY(writeFile(imagePath, before));
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());
    const QString downloaded = work.filePath(QStringLiteral("downloaded.bin"));
    QCOMPARE(cli({QStringLiteral("download"), QStringLiteral("--link"), port, QStringLiteral("-o"), downloaded}).exitCode, 0);

    Run run = cli({QStringLiteral("upload"), QStringLiteral("--link"), port, valuesPath});
    QCOMPARE(run.exitCode, 0);
    const QByteArray folder = QFile::encodeName(dataHome.path()) + "/VANT/Device-Configurator/backups/VANT-HW-1/";
    const QRegularExpression line(QStringLiteral("^vant-conf-cli: backup: (%1VANT-DEMO-1-\\d{8}-\\d{6}\\.bin)$")
                                      .arg(QRegularExpression::escape(QString::fromLocal8Bit(folder))),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(QString::fromLocal8Bit(run.err));
    QVERIFY2(match.hasMatch(), run.err.constData());
    const QString backup = match.captured(1);
    QCOMPARE(readFile(backup).toHex(' '), readFile(downloaded).toHex(' '));
    QTRY_COMPARE_WITH_TIMEOUT(readFile(imagePath).toHex(' '), after.toHex(' '), 3000);

    // The backup goes back as it is, itself backed up first like any write.
    run = cli({QStringLiteral("upload"), QStringLiteral("--link"), port, backup});
    QCOMPARE(run.exitCode, 0);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(imagePath).toHex(' '), before.toHex(' '), 3000);
    QCOMPARE(backupFiles().size(), 2);
}

void TestCliDevice::backupFails_nothingWritten_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("dataFolderIsAFile");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");
    // The device sends its first block with the wrong number: the read ends as a protocol error.
    const QByteArray readFailed("vant-conf-cli: Protocol error.\n");
    QTest::newRow("upload, read fails") << "upload" << false << 4 << readFailed;
    QTest::newRow("firmware, read fails") << "firmware" << false << 4 << readFailed;
    QTest::newRow("upload, backup folder cannot be made")
        << "upload" << true << 1 << QByteArray("vant-conf-cli: no backup kept, so nothing written: cannot create the folder ");
}

void TestCliDevice::backupFails_nothingWritten()
{
    QFETCH(QString, command);
    QFETCH(bool, dataFolderIsAFile);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    const QByteArray stored = pack(otherValuesPath, QStringLiteral("stored.bin"));
    QVERIFY(writeFile(imagePath, stored));
    const QString fw = work.filePath(QStringLiteral("x.fw"));
    QVERIFY(writeFile(fw, makeFirmware("VANT-HW-1", QByteArray(300, 'p'))));
    const QString notAFolder = work.filePath(QStringLiteral("not-a-folder"));
    QVERIFY(writeFile(notAFolder, "x"));
    SimProcess sim;
    const QString port = startSim(sim, dataFolderIsAFile ? QStringList{QStringLiteral("--no-pace")}
                                                         : QStringList{QStringLiteral("--no-pace"), QStringLiteral("--fault"),
                                                                       QStringLiteral("wrong-number:1")});
    QVERIFY(!port.isEmpty());
    const Run run = cli({command, QStringLiteral("--link"), port, command == QLatin1String("upload") ? valuesPath : fw},
                        dataFolderIsAFile ? notAFolder : QString());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message) && run.err.endsWith('\n'), run.err.constData());
    QVERIFY(run.out.isEmpty());
    QCOMPARE(readFile(imagePath), stored);
    QVERIFY(!QFile::exists(firmwareSink));
    QCOMPARE(backupFiles(), QStringList());
}

void TestCliDevice::dryRun_listsDifferences_writesNothing_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("value file") << QStringLiteral("values.xml");
    QTest::newRow("image") << QStringLiteral("values.bin");
}

void TestCliDevice::dryRun_listsDifferences_writesNothing()
{
    QFETCH(QString, file);
    QVERIFY(!pack(valuesPath, QStringLiteral("values.bin")).isEmpty());
    const QByteArray stored = pack(otherValuesPath, QStringLiteral("stored.bin"));
    QVERIFY(writeFile(imagePath, stored));
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());
    const Run run = cli({QStringLiteral("upload"), QStringLiteral("--dry-run"), QStringLiteral("--link"), port, file});
    QCOMPARE(run.exitCode, 0);
    // The device's value first, the file's second, as the tree shows them (a number with
    // its blank before an empty unit).
    QCOMPARE(run.out, QByteArray("Address\t13 \t12 \nDeviceName\tPump room\tBoiler room\n"));
    QCOMPARE(readFile(imagePath), stored);
    QCOMPARE(backupFiles(), QStringList());
}

QTEST_GUILESS_MAIN(TestCliDevice)
#include "tst_cli_device.moc"
