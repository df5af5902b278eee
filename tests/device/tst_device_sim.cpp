// Every operation end to end against the device simulator over a real pseudo-terminal: the
// data that arrive on either side, progress, cancelling at each stage, the automatic link
// choice through the port registry, and the fault matrix with its codes and time bounds.
#include "tests/support/devicefiles.h"
#include "device/device.h"
#include "device/portlist.h"
#include "device/seriallink.h"
#include "format/crc16.h"
#include "format/diag.h"
#include "tests/support/ptypeer.h"
#include "tests/support/simprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using testfiles::makeFirmware;
using testfiles::makeImage;

namespace {

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

QByteArray imageBytes(const Device &device)
{
    return device.image();
}

QByteArray padded(const QByteArray &bytes, char fill)
{
    const qsizetype blocks = (bytes.size() + 127) / 128;
    return bytes + QByteArray(blocks * 128 - bytes.size(), fill);
}

} // namespace

class TestDeviceSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void identify_readsBothIdentifiers();
    void download_returnsStoredImageInWholeBlocks();
    void upload_replacesStoredImage();
    void firmware_deliversPayload();
    void upload_thenDownload_roundTrips();
    void download_paced_progressClimbsToLastBlock();

    void cancel_atEachStage_data();
    void cancel_atEachStage();

    void auto_findsRegisteredSimulator();
    void auto_withoutMatchingPort_isNotFound();
    void link_lowerCaseKeyword_isAPortName();

    void faultMatrix_data();
    void faultMatrix();

private:
    void start(Device &device, char operation);
    QString startSim(SimProcess &sim, const QStringList &extra);

    QTemporaryDir dir;
    QString imagePath, firmwareSink, firmwarePath;
    QByteArray storedImage, uploadImage, firmwarePayload;
};

void TestDeviceSim::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_DEVSIM").isEmpty(), "VANT_DEVSIM is not set");
    QVERIFY(dir.isValid());
    imagePath = dir.filePath(QStringLiteral("device-image.bin"));
    firmwareSink = dir.filePath(QStringLiteral("device-firmware.bin"));
    firmwarePath = dir.filePath(QStringLiteral("update.fw"));
    storedImage = makeImage(996, 1);   // 1000 bytes: 8 blocks, the last one filled up
    uploadImage = makeImage(1196, 2);  // 1200 bytes: 10 blocks
    firmwarePayload = QByteArray(1000, '\0');
    for (int i = 0; i < firmwarePayload.size(); ++i)
        firmwarePayload[i] = char(i * 7 + 3);
    QVERIFY(writeFile(firmwarePath, makeFirmware("VANT-HW-1", firmwarePayload)));
}

void TestDeviceSim::cleanup()
{
    QFile::remove(imagePath);
    QFile::remove(firmwareSink);
    setDiagSink({});
    qunsetenv("VANT_PORT_REGISTRY");
}

QString TestDeviceSim::startSim(SimProcess &sim, const QStringList &extra)
{
    if (!QFile::exists(imagePath))
        writeFile(imagePath, storedImage);
    return sim.start(QStringList{QStringLiteral("--image"), imagePath, QStringLiteral("--firmware"), firmwareSink}
                     + extra);
}

void TestDeviceSim::start(Device &device, char operation)
{
    switch (operation) {
    case 'I':
        device.startIdentify();
        break;
    case 'R':
        device.startDownload();
        break;
    case 'W':
        device.setImage(uploadImage);
        device.startUpload(QStringLiteral("VANT-DEMO-1"));
        break;
    case 'P':
        device.startFirmwareUpdate(firmwarePath);
        break;
    }
}

void TestDeviceSim::identify_readsBothIdentifiers()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--hardware-id"),
                                        QStringLiteral("HW-7"), QStringLiteral("--software-id"),
                                        QStringLiteral("FMT-42")});
    QVERIFY(!port.isEmpty());
    Device device(port);
    device.startIdentify();
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(device.hardwareId(), QStringLiteral("HW-7"));
    QCOMPARE(device.softwareId(), QStringLiteral("FMT-42"));
    QCOMPARE(sim.stop(), 0);
}

void TestDeviceSim::download_returnsStoredImageInWholeBlocks()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());
    Device device(port);
    device.startDownload();
    QVERIFY(device.wait(10000));
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(int(device.image().size()), 1024);
    QCOMPARE(imageBytes(device), padded(storedImage, char(0xFF)));
    QCOMPARE(device.softwareId(), QStringLiteral("VANT-DEMO-1"));
}

void TestDeviceSim::upload_replacesStoredImage()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());
    Device device(port);
    start(device, 'W');
    QVERIFY(device.wait(10000));
    QCOMPARE(device.result(), int(Ok));
    // The program does not wait for the answer to its EOT; the device stores a moment later.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(imagePath).toHex(), uploadImage.toHex(), 3000);
    QCOMPARE(device.progress(), 10 * 12800 / 1200);
}

void TestDeviceSim::firmware_deliversPayload()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());
    Device device(port);
    start(device, 'P');
    QVERIFY(device.wait(10000));
    QCOMPARE(device.result(), int(Ok));
    // The device keeps every data byte it received, the 0xFF fill of the last block included.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(firmwareSink).toHex(), padded(firmwarePayload, char(0xFF)).toHex(), 3000);
}

void TestDeviceSim::upload_thenDownload_roundTrips()
{
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace")});
    QVERIFY(!port.isEmpty());
    {
        Device up(port);
        start(up, 'W');
        QVERIFY(up.wait(10000));
        QCOMPARE(up.result(), int(Ok));
    }
    Device down(port);
    down.startDownload();
    QVERIFY(down.wait(10000));
    QCOMPARE(down.result(), int(Ok));
    QCOMPARE(imageBytes(down).left(int(uploadImage.size())), uploadImage);
}

void TestDeviceSim::download_paced_progressClimbsToLastBlock()
{
    writeFile(imagePath, makeImage(16380, 5)); // 16384 bytes: 128 blocks
    SimProcess sim;
    const QString port = startSim(sim, {});
    QVERIFY(!port.isEmpty());
    Device device(port);
    device.startDownload();
    QList<int> seen;
    while (!device.wait(10)) {
        const int value = device.progress();
        if (seen.isEmpty() || seen.last() != value)
            seen.append(value);
    }
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(int(device.image().size()), 16384);
    for (int i = 1; i < seen.size(); ++i)
        QVERIFY2(seen[i] > seen[i - 1], "progress went back");
    // Paced at the line rate the download takes about 1.5 s: many steps are seen on the way.
    QVERIFY2(seen.size() > 20, qPrintable(QString::number(seen.size())));
    QCOMPARE(device.progress(), 100);
}

void TestDeviceSim::cancel_atEachStage_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("cancelAtMs");
    QTest::addColumn<int>("maxAfterCancelMs"); // the worker must have ended by then
    QTest::addColumn<bool>("storedUnchanged");
    // Every wait looks at the request every few milliseconds, whatever the device does.
    const int prompt = 300;
    const auto row = [](const char *name, char op, QStringList extra, int cancelAtMs, int maxAfterCancelMs) {
        QTest::newRow(name) << op << extra << cancelAtMs << maxAfterCancelMs << true;
    };
    const QString fault = QStringLiteral("--fault");
    const QString noPace = QStringLiteral("--no-pace");
    row("identify, awaiting the reply", 'I', {noPace, fault, QStringLiteral("delay-id:3000")}, 400, prompt);
    row("upload, awaiting the start NAK", 'W', {noPace, fault, QStringLiteral("no-start-nak")}, 500, prompt);
    row("firmware, awaiting the start NAK", 'P', {noPace, fault, QStringLiteral("no-start-nak")}, 500, prompt);
    // CAN goes to the device, which keeps what it had.
    row("upload, awaiting a block's ACK", 'W', {fault, QStringLiteral("delay-ack:3:600")}, 500, prompt);
    row("firmware, awaiting a block's ACK", 'P', {fault, QStringLiteral("delay-ack:3:600")}, 500, prompt);
    row("download, between blocks", 'R', {fault, QStringLiteral("delay-block:3:600")}, 500, prompt);
    // A device that identifies itself and then stays silent, and one whose first block never
    // arrives whole: the start loop retries until the cancel ends it.
    row("download, device silent after identifying", 'R', {noPace, fault, QStringLiteral("delay-first-block:60000")},
        2500, prompt);
    row("download, first block cut short", 'R', {noPace, fault, QStringLiteral("truncate-block:1")}, 2500, prompt);
}

void TestDeviceSim::cancel_atEachStage()
{
    QFETCH(char, operation);
    QFETCH(QStringList, extra);
    QFETCH(int, cancelAtMs);
    QFETCH(int, maxAfterCancelMs);
    QFETCH(bool, storedUnchanged);
    SimProcess sim;
    const QString port = startSim(sim, extra);
    QVERIFY(!port.isEmpty());
    Device device(port);
    start(device, operation);
    QVERIFY(!device.wait(cancelAtMs));
    QElapsedTimer timer;
    timer.start();
    device.requestCancel();
    QVERIFY(device.wait(10000));
    QCOMPARE(device.result(), int(Canceled));
    QVERIFY2(timer.elapsed() <= maxAfterCancelMs, qPrintable(QString::number(timer.elapsed())));
    if (storedUnchanged) {
        QCOMPARE(readFile(imagePath), storedImage);
        QVERIFY(!QFile::exists(firmwareSink));
    }
}

void TestDeviceSim::auto_findsRegisteredSimulator()
{
    QTemporaryDir registry;
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--register")});
    QVERIFY(!port.isEmpty());
    QByteArray out;
    setDiagSink([&](DiagStream s, const QByteArray &text) {
        if (s == DiagStream::Out)
            out += text;
    });
    Device device; // "AUTO"
    QCOMPARE(device.link(), QStringLiteral("AUTO"));
    device.startIdentify();
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(device.softwareId(), QStringLiteral("VANT-DEMO-1"));
    // The list is printed entry by entry up to the one that names the adapter.
    // (Other diagnostics, the HID search's among them, come between.)
    static const QRegularExpression entryLine(QStringLiteral("^\\d+: '"));
    QByteArrayList indexLines;
    for (const QByteArray &line : out.split('\n')) {
        if (entryLine.match(QString::fromLocal8Bit(line)).hasMatch())
            indexLines.append(line);
    }
    QVERIFY(!indexLines.isEmpty());
    const QByteArray last = QByteArray::number(indexLines.size() - 1) + ": '" + port.toLocal8Bit()
                            + " VANT USB Serial (simulator)'";
    QCOMPARE(indexLines.last(), last);
    for (int i = 0; i < indexLines.size(); ++i)
        QVERIFY(indexLines[i].startsWith(QByteArray::number(i) + ": '"));
}

void TestDeviceSim::auto_withoutMatchingPort_isNotFound()
{
    QTemporaryDir registry;
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
    SimProcess sim; // running, but not registered
    QVERIFY(!startSim(sim, {QStringLiteral("--no-pace")}).isEmpty());
    QByteArray out;
    setDiagSink([&](DiagStream s, const QByteArray &text) {
        if (s == DiagStream::Out)
            out += text;
    });
    Device device(QStringLiteral("AUTO"));
    device.startIdentify();
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(NotFound));
    QVERIFY(!out.contains("VANT USB"));
    // Every entry of the list was printed, numbered from 0.
    const QStringList ports = comListPorts();
    for (int i = 0; i < ports.size(); ++i)
        QVERIFY(out.contains(QByteArray::number(i) + ": '" + ports[i].toLocal8Bit() + "'\n"));
}

void TestDeviceSim::link_lowerCaseKeyword_isAPortName()
{
    QByteArray err;
    setDiagSink([&](DiagStream s, const QByteArray &text) {
        if (s == DiagStream::Err)
            err += text;
    });
    for (const QString &link : {QStringLiteral("auto"), QStringLiteral("hid")}) {
        Device device(link);
        device.startIdentify();
        QVERIFY(device.wait(5000));
        QCOMPARE(device.result(), int(PortError));
    }
    QCOMPARE(err, QByteArray("COM Error 2\nCOM Error 2\n"));
    // Cancel does not turn an open failure into a cancel.
    Device device(QStringLiteral("/nonexistent/ttyVANT"));
    device.startIdentify();
    device.requestCancel();
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(PortError));
}

void TestDeviceSim::faultMatrix_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::addColumn<int>("cancelAtMs"); // -1: never
    const auto row = [](const char *name, char op, const char *fault, int result, int minMs, int maxMs,
                        int cancelAtMs = -1) {
        QTest::newRow(name) << op << QString::fromLatin1(fault) << result << minMs << maxMs << cancelAtMs;
    };
    // Operations without a time limit in play end within this bound (two 100 ms settles, the
    // exchange itself unpaced).
    const int quick = 2000;

    // Identification: the reply must be complete within 1 s; only silence tests the deadline.
    for (char op : {'I', 'R', 'W', 'P'}) {
        const QByteArray suffix = QByteArray(" / ") + op;
        row(("silence" + suffix).constData(), op, "silence", ProtocolError, 950, 1700);
        row(("garbage-before-id" + suffix).constData(), op, "garbage-before-id", Ok, 0, quick);
        row(("empty-etx" + suffix).constData(), op, "empty-etx", Ok, 0, quick);
    }
    row("long-id / I", 'I', "long-id", Ok, 0, quick);
    row("long-id / R", 'R', "long-id", Ok, 0, quick);
    row("long-id / W: software id cut, so not the expected one", 'W', "long-id", Incompatible, 0, quick);
    row("long-id / P", 'P', "long-id", Ok, 0, quick);
    row("stx-no-etx / I", 'I', "stx-no-etx", ProtocolError, 950, 1700);
    row("delay-id:900 / I: inside the limit", 'I', "delay-id:900", Ok, 850, 1600);
    row("delay-id:1100 / I: outside the limit", 'I', "delay-id:1100", ProtocolError, 950, 1600);

    // Faults of a part of the protocol an operation does not use leave it untouched.
    for (const char *fault : {"nak-block:2", "can-block:2", "repeat-block:2", "wrong-number:2", "bad-checksum:2",
                              "truncate-block:2", "unplug-after:2", "eot-first", "extra-block", "no-start-nak",
                              "delay-first-block:1500", "delay-block:2:900", "delay-ack:2:900",
                              "delay-start-nak:1500"}) {
        row((QByteArray(fault) + " / I: no blocks").constData(), 'I', fault, Ok, 0, quick);
    }
    for (const char *fault : {"repeat-block:2", "wrong-number:2", "truncate-block:2", "extra-block",
                              "delay-first-block:1500", "delay-block:2:900"}) {
        row((QByteArray(fault) + " / W: sending fault only").constData(), 'W', fault, Ok, 0, quick);
        row((QByteArray(fault) + " / P: sending fault only").constData(), 'P', fault, Ok, 0, quick);
    }
    row("delay-ack:2:900 / R: receiving fault only", 'R', "delay-ack:2:900", Ok, 0, quick);
    row("delay-start-nak:1500 / R: receiving fault only", 'R', "delay-start-nak:1500", Ok, 0, quick);

    // Download: the device sends.
    row("can-block:1 / R", 'R', "can-block:1", ProtocolError, 0, quick);
    row("can-block:3 / R", 'R', "can-block:3", ProtocolError, 0, quick);
    row("repeat-block:3 / R: CAN", 'R', "repeat-block:3", ProtocolError, 0, quick);
    row("wrong-number:1 / R", 'R', "wrong-number:1", ProtocolError, 0, quick);
    row("wrong-number:4 / R", 'R', "wrong-number:4", ProtocolError, 0, quick);
    row("bad-checksum:2 / R: NAK, resent", 'R', "bad-checksum:2", Ok, 0, quick);
    // 1 s for the rest of the frame, then 8 more attempts of 1 s each.
    row("truncate-block:3 / R: attempts run out", 'R', "truncate-block:3", ProtocolError, 8800, 11000);
    row("unplug-after:2 / R", 'R', "unplug-after:2", ProtocolError, 0, 1000);
    row("eot-first / R: empty image", 'R', "eot-first", Ok, 0, quick);
    row("extra-block / R: 129th block", 'R', "extra-block", ProtocolError, 0, quick);
    row("delay-first-block:1900 / R: inside", 'R', "delay-first-block:1900", Ok, 1850, 3000);
    row("delay-first-block:2100 / R: NAK, then taken", 'R', "delay-first-block:2100", Ok, 2050, 3200);
    row("delay-block:3:900 / R: inside", 'R', "delay-block:3:900", Ok, 850, 2000);
    row("delay-block:3:1100 / R: NAK, then taken", 'R', "delay-block:3:1100", Ok, 1050, 2200);
    row("nak-block:2 / R: receiving fault only", 'R', "nak-block:2", Ok, 0, quick);
    row("no-start-nak / R: receiving fault only", 'R', "no-start-nak", Ok, 0, quick);

    // Upload and firmware: the device receives; a refused block is not sent again.
    for (char op : {'W', 'P'}) {
        const QByteArray suffix = QByteArray(" / ") + op;
        row(("nak-block:2" + suffix).constData(), op, "nak-block:2", ProtocolError, 0, quick);
        row(("can-block:1" + suffix).constData(), op, "can-block:1", ProtocolError, 0, quick);
        row(("can-block:3" + suffix).constData(), op, "can-block:3", ProtocolError, 0, quick);
        row(("unplug-after:2" + suffix).constData(), op, "unplug-after:2", ProtocolError, 0, 1000);
        row(("bad-checksum:2: sending fault only" + suffix).constData(), op, "bad-checksum:2", Ok, 0, quick);
        row(("eot-first: sending fault only" + suffix).constData(), op, "eot-first", Ok, 0, quick);
        // The start is repeated every 2 s for as long as it takes: only cancel ends it.
        row(("no-start-nak: until cancel" + suffix).constData(), op, "no-start-nak", Canceled, 2500, 2900, 2500);
        row(("delay-start-nak:1900: inside" + suffix).constData(), op, "delay-start-nak:1900", Ok, 1850, 3200);
    }
    // The second 'W' reaches the device while it waits; it starts over and answers the first
    // block with its start NAK, which refuses it.
    row("delay-start-nak:2100 / W: refused", 'W', "delay-start-nak:2100", ProtocolError, 4000, 6000);
    row("delay-ack:2:4900 / W: inside the 5 s", 'W', "delay-ack:2:4900", Ok, 4850, 6500);
    row("delay-ack:2:5100 / W: outside the 5 s", 'W', "delay-ack:2:5100", ProtocolError, 4950, 6500);
}

void TestDeviceSim::faultMatrix()
{
    QFETCH(char, operation);
    QFETCH(QString, fault);
    QFETCH(int, result);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    QFETCH(int, cancelAtMs);
    SimProcess sim;
    const QString port = startSim(sim, {QStringLiteral("--no-pace"), QStringLiteral("--fault"), fault});
    QVERIFY(!port.isEmpty());

    Device device(port);
    QElapsedTimer timer;
    timer.start();
    start(device, operation);
    if (cancelAtMs >= 0) {
        QVERIFY(!device.wait(cancelAtMs));
        device.requestCancel();
    }
    QVERIFY(device.wait(30000));
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(device.result(), result);
    QVERIFY2(elapsed >= minMs && elapsed <= maxMs,
             qPrintable(QStringLiteral("took %1 ms, expected %2..%3").arg(elapsed).arg(minMs).arg(maxMs)));

    // The worker closed the port on its way out: it opens again, here or on a fresh line
    // when the device has gone.
    SerialLink link;
    if (fault.startsWith(QLatin1String("unplug")) && operation != 'I') {
        QVERIFY(sim.waitForExit(3000));
        PtyPeer fresh;
        QVERIFY(link.open(fresh.slavePath));
    } else {
        QVERIFY(sim.running());
        QVERIFY(link.open(port));
    }
    QVERIFY(!link.failed());
}

QTEST_GUILESS_MAIN(TestDeviceSim)
#include "tst_device_sim.moc"
