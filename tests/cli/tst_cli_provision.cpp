// vant-conf-cli provision end to end: the real tool writing to several device simulators at
// once, over pseudo-terminals and the simulated HID devices, each device reported on a line of
// its own; and refusals that leave every device untouched.
#include "tests/support/clirun.h"
#include "tests/support/devicefiles.h"
#include "tests/support/simprocess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using testfiles::readFile;

namespace {

// One simulator with a stored image of its own and a log of every byte it exchanged.
struct Sim {
    SimProcess process;
    QString image;
    QString log;
    QByteArray before; // the image it started with
};

QStringList words(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestCliProvision : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void devices_eachWrittenOrReported_data();
    void devices_eachWrittenOrReported();
    void all_registeredPortsThenHid_numberedInReportOrder();
    void refused_noDeviceTouched_data();
    void refused_noDeviceTouched();

private:
    CliRun cli(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    // Starts an unpaced simulator with these options; its port, or empty when it did not start.
    QString startSim(const QString &options);
    // Verifies that the file came to hold the sample values with these assignments, as the
    // format commands pack them.
    void verifyWritten(const QString &image, const QStringList &assignments);

    QTemporaryDir work;
    QTemporaryDir registry;
    QTemporaryDir dataHome; // backups land below it
    std::vector<std::unique_ptr<Sim>> sims;
};

void TestCliProvision::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_CLI").isEmpty() && !qgetenv("VANT_DEVSIM").isEmpty(), "run through ctest");
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("confxml")));
    QVERIFY(QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/confxml/VANT-DEMO-1.xml"),
                        work.filePath(QStringLiteral("confxml/VANT-DEMO-1.xml"))));
    QVERIFY(QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/confxml/samples/VANT-DEMO-1-values.xml"),
                        work.filePath(QStringLiteral("values.xml"))));
    // Only this test's simulators are registered ports.
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
    qunsetenv("VANT_HID_SIM");
}

void TestCliProvision::init()
{
    sims.clear();
    QVERIFY(QDir(dataHome.path()).removeRecursively() && QDir().mkpath(dataHome.path()));
}

CliRun TestCliProvision::cli(const QStringList &args, const QProcessEnvironment &env)
{
    return runCli(args, work.path(), withDataHome(dataHome.path(), env));
}

QString TestCliProvision::startSim(const QString &options)
{
    auto sim = std::make_unique<Sim>();
    const int n = int(sims.size());
    sim->image = work.filePath(QStringLiteral("sim-%1.bin").arg(n));
    sim->log = work.filePath(QStringLiteral("sim-%1.log").arg(n));
    sim->before = testfiles::makeImage(40, n);
    if (!testfiles::writeFile(sim->image, sim->before))
        return {};
    const QString port = sim->process.start(
        words(QStringLiteral("--no-pace --image %1 --log %2 ").arg(sim->image, sim->log) + options));
    sims.push_back(std::move(sim));
    return port;
}

void TestCliProvision::verifyWritten(const QString &image, const QStringList &assignments)
{
    const QString expected = work.filePath(QStringLiteral("expected.bin"));
    const QString command = assignments.isEmpty() ? QStringLiteral("pack") : QStringLiteral("set");
    QCOMPARE(cli(QStringList{command, QStringLiteral("confxml/VANT-DEMO-1.xml"), QStringLiteral("values.xml")}
                 + assignments + QStringList{QStringLiteral("-o"), expected})
                 .exitCode,
             0);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(image).toHex(), readFile(expected).toHex(), 3000);
}

void TestCliProvision::devices_eachWrittenOrReported_data()
{
    QTest::addColumn<QStringList>("devices"); // each one's simulator options
    QTest::addColumn<QString>("options");
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("one silent, one of another software: 4 and 6, the first written")
        << QStringList{"", "--fault silence", "--software-id VANT-OTHER-1"} << "" << QList<int>{0, 4, 6} << 4;
    QTest::newRow("--sequence numbers the devices in link order, --set goes to all")
        << QStringList{"", "", ""} << "--sequence Address=10 --set Notes=batch-7" << QList<int>{0, 0, 0} << 0;
    QTest::newRow("--no-backup: written without a backup") << QStringList{"", ""} << "--no-backup" << QList<int>{0, 0} << 0;
    // The acknowledgement comes in time for the protocol, not for the limit.
    QTest::newRow("a device past --timeout: cancelled, 4")
        << QStringList{"--fault delay-ack:1:3000"} << "--timeout 1 --no-backup" << QList<int>{4} << 4;
}

void TestCliProvision::devices_eachWrittenOrReported()
{
    QFETCH(QStringList, devices);
    QFETCH(QString, options);
    QFETCH(QList<int>, results);
    QFETCH(int, exitCode);
    QStringList args{QStringLiteral("provision"), QStringLiteral("values.xml")};
    QStringList ports;
    for (const QString &device : devices) {
        ports.append(startSim(device));
        QVERIFY(!ports.last().isEmpty());
        args << QStringLiteral("--link") << ports.last();
    }
    const CliRun run = cli(args + words(options));
    QCOMPARE(run.exitCode, exitCode);

    const QHash<int, QString> messages{{0, QStringLiteral("Transfer ok.")},
                                       {4, QStringLiteral("Protocol error.")},
                                       {6, QStringLiteral("Incompatible version of hardware/software.")}};
    const bool backups = !options.contains(QLatin1String("--no-backup"));
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), ports.size() + 1);
    for (int i = 0; i < ports.size(); ++i) {
        const QStringList fields = QString::fromUtf8(lines[i]).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields[0], ports[i]);
        QCOMPARE(fields[1].toInt(), results[i]);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d$")).match(fields[4]).hasMatch(), qPrintable(fields[4]));
        QCOMPARE(fields[6], messages.value(results[i]));
        const QByteArray prefix = ports[i].toUtf8() + ": ";
        if (results[i] != 0) {
            QCOMPARE(fields[5], QString());
            QVERIFY2(run.err.contains(prefix + "failed: "), run.err.constData());
            QCOMPARE(readFile(sims[i]->image).toHex(), sims[i]->before.toHex());
            continue;
        }
        QCOMPARE(fields.mid(2, 2), (QStringList{QStringLiteral("VANT-HW-1"), QStringLiteral("VANT-DEMO-1")}));
        // The backup holds what the device held before.
        QCOMPARE(fields[5].isEmpty(), !backups);
        if (backups)
            QCOMPARE(readFile(fields[5]).toHex(), sims[i]->before.toHex());
        QStringList assignments;
        if (options.contains(QLatin1String("--sequence")))
            assignments << QStringLiteral("Notes=batch-7") << QStringLiteral("Address=%1").arg(10 + i);
        verifyWritten(sims[i]->image, assignments);
        for (const char *step : {"identified: hardware VANT-HW-1, software VANT-DEMO-1\n", "uploading 0 %\n",
                                 "uploading 100 %\n", "done\n"})
            QVERIFY2(run.err.contains(prefix + step), run.err.constData());
        QCOMPARE(run.err.contains(prefix + "backed up: "), backups);
    }
}

void TestCliProvision::all_registeredPortsThenHid_numberedInReportOrder()
{
    const QStringList ports{startSim(QStringLiteral("--register")), startSim(QStringLiteral("--register"))};
    QVERIFY(!ports.contains(QString()));
    const QStringList hidImages{work.filePath(QStringLiteral("hid-0.bin")), work.filePath(QStringLiteral("hid-1.bin"))};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANT_HID_SIM"), hidImages.join(QLatin1Char(':')));

    const CliRun run = cli(words(QStringLiteral("provision values.xml --all --sequence Address=20")), env);
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), 5);
    QStringList links;
    for (int i = 0; i < 4; ++i)
        links << QString::fromUtf8(lines[i].split('\t').value(0));
    // The ports in the order the port list gives them, then the HID devices.
    QCOMPARE(QSet<QString>(links.begin(), links.begin() + 2), QSet<QString>(ports.begin(), ports.end()));
    QCOMPARE(links.mid(2), words(QStringLiteral("HID:sim-hid-0 HID:sim-hid-1")));
    const QStringList images =
        QStringList{sims[size_t(ports.indexOf(links[0]))]->image, sims[size_t(ports.indexOf(links[1]))]->image} + hidImages;
    for (int i = 0; i < 4; ++i)
        verifyWritten(images[i], {QStringLiteral("Address=%1").arg(20 + i)});
}

void TestCliProvision::refused_noDeviceTouched_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // the start of the one line that says why
    QTest::newRow("--set of no variable")
        << "--set Nope=1" << 1 << "vant-conf-cli: Nope: no such variable in format 'VANT-DEMO-1'\n";
    QTest::newRow("--set out of range") << "--set Hysteresis=51" << 1 << "vant-conf-cli: Hysteresis: ";
    QTest::newRow("--sequence past the range at the third device") << "--sequence Address=246" << 1
                                                                   << "vant-conf-cli: Address: ";
    QTest::newRow("--sequence of a select")
        << "--sequence Mode=1" << 1 << "vant-conf-cli: Mode: no integer variable of that name in format 'VANT-DEMO-1'\n";
    QTest::newRow("--all beside --link")
        << "--all" << 64 << "vant-conf-cli: provision needs --link for each device, or --all\n";
}

void TestCliProvision::refused_noDeviceTouched()
{
    QFETCH(QString, options);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QStringList args{QStringLiteral("provision"), QStringLiteral("values.xml")};
    for (int i = 0; i < 3; ++i) {
        args << QStringLiteral("--link") << startSim(QString());
        QVERIFY(!args.last().isEmpty());
    }
    const CliRun run = cli(args + words(options));
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.startsWith(error.toUtf8()), run.err.constData());
    // A refusal is one line; a usage error adds the usage line.
    QCOMPARE(run.err.count('\n'), exitCode == 64 ? 2 : 1);
    for (const std::unique_ptr<Sim> &sim : sims) {
        QCOMPARE(readFile(sim->log), QByteArray());
        QCOMPARE(readFile(sim->image), sim->before);
    }
}

QTEST_GUILESS_MAIN(TestCliProvision)
#include "tst_cli_provision.moc"
