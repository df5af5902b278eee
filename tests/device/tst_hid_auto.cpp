// The automatic link choice with the simulated HID device and the serial simulator
// (vant-devsim over a real pseudo-terminal, announced through the port registry): HID first,
// then the first port list entry naming the adapter, and nothing found when neither is there.
#include "device/device.h"
#include "device/portlist.h"
#include "format/diag.h"
#include "tests/support/simprocess.h"
#include "device/sim/simhid.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestHidAuto : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void auto_choice_data();
    void auto_choice();

private:
    QTemporaryDir dir;
    QTemporaryDir registry;
    QByteArray out;
};

void TestHidAuto::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_DEVSIM").isEmpty(), "VANT_DEVSIM is not set");
    QVERIFY(dir.isValid() && registry.isValid());
    // Only the simulators of this test are in the list's registered part.
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
}

void TestHidAuto::init()
{
    out.clear();
    setDiagSink([this](DiagStream s, const QByteArray &text) {
        if (s == DiagStream::Out)
            out += text;
    });
}

void TestHidAuto::cleanup()
{
    setDiagSink({});
}

void TestHidAuto::auto_choice_data()
{
    QTest::addColumn<bool>("hid");      // a matching HID interface is present
    QTest::addColumn<bool>("serial");   // a registered serial simulator is present
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("softwareId");
    QTest::newRow("AUTO, HID only: HID") << true << false << "AUTO" << int(Ok) << "VANT-HID-1";
    QTest::newRow("AUTO, serial only: the registered port") << false << true << "AUTO" << int(Ok) << "VANT-SER-1";
    QTest::newRow("AUTO, both: HID wins") << true << true << "AUTO" << int(Ok) << "VANT-HID-1";
    QTest::newRow("AUTO, nothing: not found") << false << false << "AUTO" << int(NotFound) << "";
    QTest::newRow("HID, serial only: not found") << false << true << "HID" << int(NotFound) << "";
    QTest::newRow("HID, both: HID") << true << true << "HID" << int(Ok) << "VANT-HID-1";
    QTest::newRow("auto in lower case is a port name") << true << true << "auto" << int(PortError) << "";
}

void TestHidAuto::auto_choice()
{
    QFETCH(bool, hid);
    QFETCH(bool, serial);
    QFETCH(QString, link);
    QFETCH(int, result);
    QFETCH(QString, softwareId);

    SimDevice hidModel;
    hidModel.softwareId = "VANT-HID-1";
    SimHid simHid(hidModel);
    // Without a match the system still lists an interface of another vendor.
    if (!hid)
        simHid.interfaces.first().vendorId = 0x1234;

    SimProcess simSerial;
    QString port;
    if (serial) {
        port = simSerial.start({QStringLiteral("--no-pace"), QStringLiteral("--register"), QStringLiteral("--software-id"),
                                QStringLiteral("VANT-SER-1"), QStringLiteral("--image"),
                                dir.filePath(QStringLiteral("serial-image.bin"))});
        QVERIFY(!port.isEmpty());
    }

    Device device(link, &simHid);
    device.startIdentify();
    QVERIFY(device.wait(10000));
    QCOMPARE(device.result(), result);
    QCOMPARE(device.softwareId(), softwareId);
    QCOMPARE(simHid.openCount(), 0);
    QCOMPARE(simHid.opened.isEmpty(), !(hid && link.toUpper() == link));

    QByteArrayList lines = out.split('\n');
    lines.removeAll(QByteArray());
    QByteArrayList listLines; // the numbered entries of the automatic choice
    for (const QByteArray &line : lines) {
        if (!line.startsWith("Dev ") && line != "Can't open USB device")
            listLines.append(line);
    }
    if (hid || link != QLatin1String("AUTO")) {
        // HID found, or no automatic choice: the port list is not walked.
        QVERIFY2(listLines.isEmpty(), out.constData());
        QCOMPARE(out.contains("Can't open USB device\n"), !hid && link == QLatin1String("HID"));
        return;
    }
    QVERIFY(out.startsWith("Can't open USB device\n"));
    // The entries, numbered from 0, each as the list gives it, up to the adapter's.
    const QStringList ports = comListPorts();
    for (int i = 0; i < listLines.size(); ++i)
        QCOMPARE(listLines[i], QByteArray::number(i) + ": '" + ports[i].toLocal8Bit() + "'");
    if (serial)
        QVERIFY(listLines.last().endsWith(": '" + port.toLocal8Bit() + " VANT USB Serial (simulator)'"));
    else
        QCOMPARE(listLines.size(), ports.size());
}

QTEST_GUILESS_MAIN(TestHidAuto)
#include "tst_hid_auto.moc"
