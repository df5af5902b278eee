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

const QString Ok = QStringLiteral("Transfer ok.");

// One simulator with a stored image of its own and a log of every byte it exchanged.
struct Sim {
    SimProcess process;
    QString image;
    QString log;
    QByteArray before; // the image it started with
};

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
    // Starts a simulator on a pseudo-terminal; its port, or empty when it did not start.
    QString startSim(const QStringList &args);
    // The image the format commands make of the sample values with these assignments.
    QByteArray expectedImage(const QStringList &assignments);

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

QString TestCliProvision::startSim(const QStringList &args)
{
    auto sim = std::make_unique<Sim>();
    const int n = int(sims.size());
    sim->image = work.filePath(QStringLiteral("sim-%1.bin").arg(n));
    sim->log = work.filePath(QStringLiteral("sim-%1.log").arg(n));
    sim->before = testfiles::makeImage(40, n);
    if (!testfiles::writeFile(sim->image, sim->before))
        return {};
    const QString port = sim->process.start(QStringList{QStringLiteral("--image"), sim->image,
                                                        QStringLiteral("--log"), sim->log} + args);
    sims.push_back(std::move(sim));
    return port;
}

QByteArray TestCliProvision::expectedImage(const QStringList &assignments)
{
    const QString path = work.filePath(QStringLiteral("expected.bin"));
    QFile::remove(path);
    const QStringList command = assignments.isEmpty() ? QStringList{QStringLiteral("pack")} : QStringList{QStringLiteral("set")};
    const CliRun run = cli(command + QStringList{QStringLiteral("confxml/VANT-DEMO-1.xml"), QStringLiteral("values.xml")}
                           + assignments + QStringList{QStringLiteral("-o"), path});
    return run.exitCode == 0 ? readFile(path) : QByteArray();
}

void TestCliProvision::devices_eachWrittenOrReported_data()
{
    QTest::addColumn<QList<QStringList>>("devices"); // simulator options, one list per device
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("exitCode");
    const QString unpaced = QStringLiteral("--no-pace");
    QTest::newRow("one silent, one of another software: 4 and 6, the first written")
        << QList<QStringList>{{unpaced},
                              {unpaced, QStringLiteral("--fault"), QStringLiteral("silence")},
                              {unpaced, QStringLiteral("--software-id"), QStringLiteral("VANT-OTHER-1")}}
        << QStringList() << QList<int>{0, 4, 6}
        << QStringList{Ok, QStringLiteral("Protocol error."), QStringLiteral("Incompatible version of hardware/software.")}
        << 4;
    QTest::newRow("--sequence numbers the devices in link order, --set goes to all")
        << QList<QStringList>{{unpaced}, {unpaced}, {unpaced}}
        << QStringList{QStringLiteral("--sequence"), QStringLiteral("Address=10"), QStringLiteral("--set"),
                       QStringLiteral("Notes=batch 7")}
        << QList<int>{0, 0, 0} << QStringList{Ok, Ok, Ok} << 0;
    QTest::newRow("--no-backup: written without a backup")
        << QList<QStringList>{{unpaced}, {unpaced}} << QStringList{QStringLiteral("--no-backup")} << QList<int>{0, 0}
        << QStringList{Ok, Ok} << 0;
    // The acknowledgement comes in time for the protocol, not for the limit.
    QTest::newRow("a device past --timeout: cancelled, 4")
        << QList<QStringList>{{unpaced, QStringLiteral("--fault"), QStringLiteral("delay-ack:1:3000")}}
        << QStringList{QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--no-backup")}
        << QList<int>{4} << QStringList{QStringLiteral("Protocol error.")} << 4;
}

void TestCliProvision::devices_eachWrittenOrReported()
{
    QFETCH(QList<QStringList>, devices);
    QFETCH(QStringList, options);
    QFETCH(QList<int>, results);
    QFETCH(QStringList, messages);
    QFETCH(int, exitCode);
    QStringList args{QStringLiteral("provision"), QStringLiteral("values.xml")};
    QStringList ports;
    for (const QStringList &device : devices) {
        ports.append(startSim(device));
        QVERIFY(!ports.last().isEmpty());
        args << QStringLiteral("--link") << ports.last();
    }
    const CliRun run = cli(args + options);
    QCOMPARE(run.exitCode, exitCode);

    const bool backups = !options.contains(QStringLiteral("--no-backup"));
    const qsizetype sequence = options.indexOf(QStringLiteral("--sequence"));
    const qsizetype set = options.indexOf(QStringLiteral("--set"));
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), ports.size() + 1);
    for (int i = 0; i < ports.size(); ++i) {
        const QStringList fields = QString::fromUtf8(lines[i]).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields[0], ports[i]);
        QCOMPARE(fields[1].toInt(), results[i]);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d$")).match(fields[4]).hasMatch(), qPrintable(fields[4]));
        QCOMPARE(fields[6], messages[i]);
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
        if (set >= 0)
            assignments << options[set + 1];
        if (sequence >= 0)
            assignments << QStringLiteral("Address=%1").arg(10 + i);
        const QByteArray expected = expectedImage(assignments);
        QVERIFY(!expected.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(readFile(sims[i]->image).toHex(), expected.toHex(), 3000);
        for (const char *step : {"identified: hardware VANT-HW-1, software VANT-DEMO-1\n", "uploading 0 %\n",
                                 "uploading 100 %\n", "done\n"})
            QVERIFY2(run.err.contains(prefix + step), run.err.constData());
        QCOMPARE(run.err.contains(prefix + "backed up: "), backups);
    }
}

void TestCliProvision::all_registeredPortsThenHid_numberedInReportOrder()
{
    const QStringList registered{QStringLiteral("--no-pace"), QStringLiteral("--register")};
    QStringList ports{startSim(registered), startSim(registered)};
    QVERIFY(!ports.contains(QString()));
    const QString hid0 = work.filePath(QStringLiteral("hid-0.bin"));
    const QString hid1 = work.filePath(QStringLiteral("hid-1.bin"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANT_HID_SIM"), hid0 + QLatin1Char(':') + hid1);

    const CliRun run = cli({QStringLiteral("provision"), QStringLiteral("values.xml"), QStringLiteral("--all"),
                            QStringLiteral("--sequence"), QStringLiteral("Address=20")},
                           env);
    QCOMPARE(run.exitCode, 0);
    QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), 5);
    QStringList links, hardware;
    for (int i = 0; i < 4; ++i) {
        links << QString::fromUtf8(lines[i].split('\t').value(0));
        hardware << QString::fromUtf8(lines[i].split('\t').value(2));
    }
    // The ports in the order the port list gives them, then the HID devices.
    QCOMPARE(QSet<QString>(links.begin(), links.begin() + 2), QSet<QString>(ports.begin(), ports.end()));
    QCOMPARE(links.mid(2), (QStringList{QStringLiteral("HID:sim-hid-0"), QStringLiteral("HID:sim-hid-1")}));
    QCOMPARE(hardware, (QStringList{QStringLiteral("VANT-HW-1"), QStringLiteral("VANT-HW-1"), QStringLiteral("VANT-HW-1"),
                                    QStringLiteral("VANT-HW-2")}));
    const QStringList images{sims[size_t(ports.indexOf(links[0]))]->image, sims[size_t(ports.indexOf(links[1]))]->image,
                             hid0, hid1};
    for (int i = 0; i < 4; ++i) {
        const QByteArray expected = expectedImage({QStringLiteral("Address=%1").arg(20 + i)});
        QVERIFY(!expected.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(readFile(images[i]).toHex(), expected.toHex(), 3000);
    }
}

void TestCliProvision::refused_noDeviceTouched_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // the start of the one line that says why
    QTest::newRow("--set of no variable")
        << QStringList{QStringLiteral("--set"), QStringLiteral("Nope=1")} << 1
        << "vant-conf-cli: Nope: no such variable in format 'VANT-DEMO-1'\n";
    QTest::newRow("--set out of range")
        << QStringList{QStringLiteral("--set"), QStringLiteral("Hysteresis=51")} << 1 << "vant-conf-cli: Hysteresis: ";
    QTest::newRow("--sequence past the range at the third device")
        << QStringList{QStringLiteral("--sequence"), QStringLiteral("Address=246")} << 1 << "vant-conf-cli: Address: ";
    QTest::newRow("--sequence of a select")
        << QStringList{QStringLiteral("--sequence"), QStringLiteral("Mode=1")} << 1
        << "vant-conf-cli: Mode: no integer variable of that name in format 'VANT-DEMO-1'\n";
    QTest::newRow("--all beside --link") << QStringList{QStringLiteral("--all")} << 64
                                         << "vant-conf-cli: provision needs --link for each device, or --all\n";
}

void TestCliProvision::refused_noDeviceTouched()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QStringList args{QStringLiteral("provision"), QStringLiteral("values.xml")};
    for (int i = 0; i < 3; ++i) {
        const QString port = startSim({QStringLiteral("--no-pace")});
        QVERIFY(!port.isEmpty());
        args << QStringLiteral("--link") << port;
    }
    const CliRun run = cli(args + options);
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
