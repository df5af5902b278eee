// Several devices present at once: every registered simulator in the port list, every
// simulated HID device that VANT_HID_SIM names reachable by a link of its own, and the list of
// links to all of them, ports first.
#include "device/backups.h"
#include "device/device.h"
#include "device/sim/simhid.h"
#include "device/sim/simhidenv.h"
#include "device/sim/simhidgroup.h"
#include "tests/support/devicefiles.h"
#include "tests/support/simprocess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

class TestMultiDevice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void deviceLinks_portsThenHid_data();
    void deviceLinks_portsThenHid();
    void hidPathLink_opensThatDeviceOnly_data();
    void hidPathLink_opensThatDeviceOnly();

private:
    QTemporaryDir dir;
    QTemporaryDir registry;
};

void TestMultiDevice::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_DEVSIM").isEmpty(), "VANT_DEVSIM is not set");
    QVERIFY(dir.isValid() && registry.isValid());
    // Only the simulators of this test are in the list's registered part.
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
}

void TestMultiDevice::deviceLinks_portsThenHid_data()
{
    QTest::addColumn<int>("serialCount");
    QTest::addColumn<int>("hidCount");
    QTest::newRow("nothing present") << 0 << 0;
    QTest::newRow("three registered simulators") << 3 << 0;
    QTest::newRow("two HID devices") << 0 << 2;
    QTest::newRow("two of each: ports first") << 2 << 2;
}

void TestMultiDevice::deviceLinks_portsThenHid()
{
    QFETCH(int, serialCount);
    QFETCH(int, hidCount);
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList ports;
    for (int i = 0; i < serialCount; ++i) {
        sims.push_back(std::make_unique<SimProcess>());
        ports.append(sims.back()->start({QStringLiteral("--no-pace"), QStringLiteral("--register")}));
        QVERIFY(!ports.last().isEmpty());
    }
    SimDevice model;
    std::vector<std::unique_ptr<SimHid>> hids;
    SimHidGroup group;
    for (int i = 0; i < hidCount; ++i) {
        hids.push_back(std::make_unique<SimHid>(model));
        // Each device also has an interface that is not the device's: a keyboard's, and one
        // whose manufacturer is someone else's. Neither is listed.
        hids.back()->interfaces.prepend(SimHidInterface{0x1234, 0x0001});
        hids.back()->interfaces.append(SimHidInterface());
        hids.back()->interfaces.last().manufacturer = QStringLiteral("OTHER");
        group.add(*hids.back());
    }

    // Every registered simulator, in the port list's order, then the HID devices.
    const QStringList links = deviceLinks(&group);
    QCOMPARE(links.size(), serialCount + hidCount);
    const QStringList listedPorts = links.mid(0, serialCount);
    QCOMPARE(QSet<QString>(listedPorts.begin(), listedPorts.end()), QSet<QString>(ports.begin(), ports.end()));
    for (int i = 0; i < hidCount; ++i)
        QCOMPARE(links[serialCount + i], QStringLiteral("HID:sim-hid-%1").arg(i * 3 + 1));
    for (const std::unique_ptr<SimHid> &hid : hids)
        QCOMPARE(hid->openCount(), 0);
}

void TestMultiDevice::hidPathLink_opensThatDeviceOnly_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("device"); // the one that answers, -1 none
    QTest::newRow("HID:sim-hid-0: the first") << "HID:sim-hid-0" << 0;
    QTest::newRow("HID:sim-hid-1: the second") << "HID:sim-hid-1" << 1;
    QTest::newRow("HID:sim-hid-2: the third") << "HID:sim-hid-2" << 2;
    QTest::newRow("HID: the first that matches") << "HID" << 0;
    QTest::newRow("a path nobody lists: not found") << "HID:sim-hid-3" << -1;
    QTest::newRow("a path spelled otherwise: not found") << "HID:sim-hid-01" << -1;
    QTest::newRow("no path: not found") << "HID:" << -1;
}

void TestMultiDevice::hidPathLink_opensThatDeviceOnly()
{
    QFETCH(QString, link);
    QFETCH(int, device);
    QStringList paths;
    QList<QByteArray> images;
    for (int i = 0; i < 3; ++i) {
        paths.append(dir.filePath(QStringLiteral("hid-%1.bin").arg(i)));
        images.append(testfiles::makeImage(100 + i, i));
        QVERIFY(testfiles::writeFile(paths.last(), images.last()));
    }
    qputenv("VANT_HID_SIM", QFile::encodeName(paths.join(QLatin1Char(':'))));
    const std::unique_ptr<HidBackend> hid = simulatedHidFromEnvironment();
    qunsetenv("VANT_HID_SIM");
    QVERIFY(hid);

    Device worker(link, hid.get());
    worker.startDownload();
    QVERIFY(worker.wait(10000));
    if (device < 0) {
        QCOMPARE(worker.result(), int(NotFound));
        return;
    }
    QCOMPARE(worker.result(), int(Ok));
    QCOMPARE(worker.hardwareId(), QStringLiteral("VANT-HW-%1").arg(device + 1));
    QCOMPARE(worker.softwareId(), QStringLiteral("VANT-DEMO-1"));
    QCOMPARE(backups::imageProper(worker.image()).toHex(), images[device].toHex());
}

QTEST_GUILESS_MAIN(TestMultiDevice)
#include "tst_multidevice.moc"
