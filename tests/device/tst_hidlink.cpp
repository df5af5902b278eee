// The USB-HID link against the simulated HID device: finding the interface, the report layout
// of every request, the identifier cleaning, the sizes and fill bytes of each operation, the
// failure codes with their diagnostic lines, the cancel rule, and the release on every path.
#include "device/device.h"
#include "device/hidlink.h"
#include "tests/support/devicefiles.h"
#include "format/diag.h"
#include "device/sim/simhid.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <climits>
#include <cstring>
#include <sys/stat.h>

using testfiles::makeFirmware;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A report as the program sends it: ID 0, 24-bit address, command, 64 data bytes.
QByteArray report(uchar command, int address, const QByteArray &data = QByteArray(64, '\0'))
{
    QByteArray r(1, '\0');
    r.append(char(address));
    r.append(char(address >> 8));
    r.append(char(address >> 16));
    r.append(char(command));
    return r + data;
}

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 31 + seed) & 0xFF);
    return data;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const QByteArray infoRequest = report(0x7F, 0);

} // namespace

Q_DECLARE_METATYPE(SimHidInterface)
Q_DECLARE_METATYPE(SimHidFault)

class TestHidLink : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void manufacturer_unitsTo8Bit_data();
    void manufacturer_unitsTo8Bit();
    void find_interfaces_data();
    void find_interfaces();

    void identify_infoRecord_cleansIdentifiers_data();
    void identify_infoRecord_cleansIdentifiers();
    void download_capacity_setsRequestsAndLength_data();
    void download_capacity_setsRequestsAndLength();
    void upload_lengths_blocksAndFill_data();
    void upload_lengths_blocksAndFill();
    void firmware_files_blocksAndCodes_data();
    void firmware_files_blocksAndCodes();
    void firmwareCheck_notAFileOrTooLarge_refusedUnread_data();
    void firmwareCheck_notAFileOrTooLarge_refusedUnread();

    void faults_endWithCodeAndLines_data();
    void faults_endWithCodeAndLines();
    void cancel_atEndOfConnection_data();
    void cancel_atEndOfConnection();

    void signals_progressRisesThenOneResult_data();
    void signals_progressRisesThenOneResult();
    void waitForResult_neverStarted_returnsAtOnce();

    void blockFunctions_withoutDevice_failAtOnce();
    void link_lowerCaseHid_isAPortName();

private:
    int run(Device &device, char operation);

    QTemporaryDir dir;
    SimDevice model;
    SimHid *sim = nullptr;
    QByteArray diag;
};

void TestHidLink::init()
{
    QVERIFY(dir.isValid());
    model = SimDevice();
    model.imagePath = dir.filePath(QStringLiteral("image.bin"));
    QFile::remove(model.imagePath);
    sim = new SimHid(model);
    diag.clear();
    setDiagSink([this](DiagStream s, const QByteArray &text) { diag += (s == DiagStream::Out ? "" : "ERR:") + text; });
}

void TestHidLink::cleanup()
{
    setDiagSink({});
    delete sim;
    sim = nullptr;
}

int TestHidLink::run(Device &device, char operation)
{
    switch (operation) {
    case 'I': device.startIdentify(); break;
    case 'R': device.startDownload(); break;
    case 'W': device.startUpload(QStringLiteral("VANT-DEMO-1")); break;
    default: device.startFirmwareUpdate(dir.filePath(QStringLiteral("update.fw"))); break;
    }
    if (!device.wait(10000))
        return -1;
    return device.result();
}

void TestHidLink::manufacturer_unitsTo8Bit_data()
{
    QTest::addColumn<QString>("units");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ASCII unchanged") << QStringLiteral("VANT") << QByteArray("VANT");
    QTest::newRow("Latin-1 unit is its byte") << QString::fromUtf8("VANT\xC3\xA9") << hex("56414e54e9");
    QTest::newRow("U+0154 is '?', not its low byte 'T'") << QString::fromUtf8("VAN\xC5\x94") << QByteArray("VAN?");
    QTest::newRow("surrogate pair is two units") << QString::fromUtf8("V\xF0\x9F\x98\x80") << QByteArray("V??");
    QTest::newRow("ends at the first zero unit") << QString::fromUtf8("VA\0NT", 5) << QByteArray("VA");
}

void TestHidLink::manufacturer_unitsTo8Bit()
{
    QFETCH(QString, units);
    QFETCH(QByteArray, expected);
    std::u16string text(reinterpret_cast<const char16_t *>(units.utf16()), size_t(units.size()));
    QCOMPARE(usbhidManufacturer8Bit(text.c_str()), expected);
}

void TestHidLink::find_interfaces_data()
{
    QTest::addColumn<QList<SimHidInterface>>("interfaces");
    QTest::addColumn<int>("kept"); // -1: none
    QTest::addColumn<QList<int>>("opened");

    const SimHidInterface good;
    auto with = [](auto change) {
        SimHidInterface i;
        change(i);
        return i;
    };
    const SimHidInterface wrongVendor = with([](SimHidInterface &i) { i.vendorId = 0x16C1; });
    const SimHidInterface wrongProduct = with([](SimHidInterface &i) { i.productId = 0x05DE; });
    const SimHidInterface closed = with([](SimHidInterface &i) { i.openable = false; });
    const SimHidInterface unreadable = with([](SimHidInterface &i) { i.manufacturerReadable = false; });
    const auto maker = [&](const QString &name) { return with([&](SimHidInterface &i) { i.manufacturer = name; }); };

    QTest::newRow("one matching interface") << QList<SimHidInterface>{good} << 0 << QList<int>{0};
    QTest::newRow("nothing present") << QList<SimHidInterface>{} << -1 << QList<int>{};
    QTest::newRow("wrong vendor is not opened") << QList<SimHidInterface>{wrongVendor} << -1 << QList<int>{};
    QTest::newRow("wrong product is not opened") << QList<SimHidInterface>{wrongProduct} << -1 << QList<int>{};
    QTest::newRow("unit above 0xFF compares as '?'")
        << QList<SimHidInterface>{maker(QString::fromUtf8("VAN\xC5\x94"))} << -1 << QList<int>{0};
    QTest::newRow("case matters") << QList<SimHidInterface>{maker(QStringLiteral("Vant"))} << -1 << QList<int>{0};
    QTest::newRow("trailing blank matters") << QList<SimHidInterface>{maker(QStringLiteral("VANT "))} << -1 << QList<int>{0};
    QTest::newRow("unreadable manufacturer") << QList<SimHidInterface>{unreadable} << -1 << QList<int>{0};
    QTest::newRow("unopenable first, matching second") << QList<SimHidInterface>{closed, good} << 1 << QList<int>{1};
    QTest::newRow("mismatches closed, then the match")
        << QList<SimHidInterface>{maker(QStringLiteral("OTHER")), wrongVendor, good, good} << 2 << QList<int>{0, 2};
}

void TestHidLink::find_interfaces()
{
    QFETCH(QList<SimHidInterface>, interfaces);
    QFETCH(int, kept);
    QFETCH(QList<int>, opened);
    sim->interfaces = interfaces;
    HidLink link(*sim);
    QCOMPARE(link.find(), kept >= 0);
    QCOMPARE(link.isOpen(), kept >= 0);
    QCOMPARE(sim->opened, opened);
    QCOMPARE(sim->openCount(), kept >= 0 ? 1 : 0);
    QCOMPARE(diag, kept >= 0 ? QByteArray() : QByteArray("Can't open USB device\n"));
    link.release();
    QCOMPARE(sim->openCount(), 0);
    QVERIFY(!link.isOpen());
    if (kept >= 0)
        QCOMPARE(sim->closedIndices.last(), kept);
}

void TestHidLink::identify_infoRecord_cleansIdentifiers_data()
{
    QTest::addColumn<QByteArray>("infoData");
    QTest::addColumn<QString>("softwareId");
    QTest::addColumn<QString>("hardwareId");
    const QByteArray hw16 = "HW-ID-0123456789"; // 16 bytes, no NUL
    QTest::newRow("NUL-padded identifiers") << QByteArray("SW-1").leftJustified(16, '\0') + QByteArray("HW-1")
                                            << "SW-1" << "HW-1";
    QTest::newRow("blank ends it: AB CD gives AB") << hex("4142204344") + QByteArray(11, '\0') + hw16 << "AB"
                                                   << "HW-ID-012345678";
    QTest::newRow("16 bytes without NUL give 15") << QByteArray("0123456789ABCDEF") + hw16 << "0123456789ABCDE"
                                                  << "HW-ID-012345678";
    QTest::newRow("control byte ends it") << hex("41420943") + QByteArray(12, '\0') + hex("41 7F 42") << "AB" << "A";
    QTest::newRow("non-ASCII byte ends it") << hex("41 E9 42") + QByteArray(13, '\0') + hex("80") << "A" << "";
    QTest::newRow("tilde and bang are kept") << QByteArray("!~").leftJustified(16, '\0') + QByteArray("x") << "!~"
                                             << "x";
    QTest::newRow("all zero") << QByteArray(64, '\0') << "" << "";
}

void TestHidLink::identify_infoRecord_cleansIdentifiers()
{
    QFETCH(QByteArray, infoData);
    QFETCH(QString, softwareId);
    QFETCH(QString, hardwareId);
    sim->infoData = infoData;
    Device device(QStringLiteral("HID"), sim);
    QCOMPARE(run(device, 'I'), int(Ok));
    QCOMPARE(device.softwareId(), softwareId);
    QCOMPARE(device.hardwareId(), hardwareId);
    QCOMPARE(device.progress(), 0);
    // One information request, then one answer read, and the device let go.
    QCOMPARE(sim->setReports(), QList<QByteArray>{hex("00 000000 7F") + QByteArray(64, '\0')});
    QCOMPARE(sim->calls.size(), 2);
    QCOMPARE(sim->calls.at(1).kind, SimHidCall::Get);
    QCOMPARE(sim->openCount(), 0);
    QCOMPARE(diag, QByteArray());
}

void TestHidLink::download_capacity_setsRequestsAndLength_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("requests");
    QTest::newRow("1000: 16 requests, 1024 bytes") << 1000 << 16;
    QTest::newRow("0: no request") << 0 << 0;
    QTest::newRow("1: one whole block") << 1 << 1;
    QTest::newRow("64: exactly one block") << 64 << 1;
    QTest::newRow("16383: the largest taken as given") << 16383 << 256;
    QTest::newRow("16384: the buffer") << 16384 << 256;
    QTest::newRow("100000: the buffer") << 100000 << 256;
    QTest::newRow("negative: the buffer") << -1 << 256;
    QTest::newRow("INT_MIN: the buffer") << INT_MIN << 256;
}

void TestHidLink::download_capacity_setsRequestsAndLength()
{
    QFETCH(int, capacity);
    QFETCH(int, requests);
    const QByteArray stored = pattern(1000, 5);
    QVERIFY(writeFile(model.imagePath, stored));
    sim->infoData = QByteArray("VANT-DEMO-1").leftJustified(32, '\0') + hex("00000000") + hex("00000000");
    qToLittleEndian<qint32>(capacity, sim->infoData.data() + 32);

    Device device(QStringLiteral("HID"), sim);
    QCOMPARE(run(device, 'R'), int(Ok));
    QCOMPARE(int(device.image().size()), requests * 64);
    QList<QByteArray> expected{infoRequest};
    for (int i = 0; i < requests; ++i)
        expected.append(report(0x00, i * 64));
    QCOMPARE(sim->setReports(), expected);
    // Set, then get, for every request.
    QCOMPARE(sim->calls.size(), 2 * (requests + 1));
    const QByteArray received = device.image();
    QCOMPARE(received, (stored + QByteArray(16384, char(0xFF))).left(requests * 64));
    // Against what this device holds: the bar reaches its end.
    QCOMPARE(device.progress(), requests > 0 ? 100 : 0);
    QCOMPARE(sim->openCount(), 0);
}

void TestHidLink::upload_lengths_blocksAndFill_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QString>("deviceSoftwareId");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("progress");
    QTest::newRow("length 1: one data byte, 63 x FF") << 1 << 1000 << "VANT-DEMO-1" << int(Ok) << 6400;
    QTest::newRow("length 130: three blocks") << 130 << 1000 << "VANT-DEMO-1" << int(Ok) << 3 * 6400 / 130;
    QTest::newRow("length 128: two full blocks") << 128 << 128 << "VANT-DEMO-1" << int(Ok) << 100;
    QTest::newRow("length 0: nothing to write") << 0 << 1000 << "VANT-DEMO-1" << int(Ok) << 0;
    QTest::newRow("one above capacity: nothing written") << 6 << 5 << "VANT-DEMO-1" << int(Incompatible) << 0;
    QTest::newRow("negative capacity: nothing written") << 1 << -1 << "VANT-DEMO-1" << int(Incompatible) << 0;
    QTest::newRow("another format: nothing written") << 10 << 1000 << "VANT-DEMO-2" << int(Incompatible) << 0;
    QTest::newRow("length above the buffer: nothing written") << 16385 << INT_MAX << "VANT-DEMO-1"
                                                               << int(Incompatible) << 0;
}

void TestHidLink::upload_lengths_blocksAndFill()
{
    QFETCH(int, length);
    QFETCH(int, capacity);
    QFETCH(QString, deviceSoftwareId);
    QFETCH(int, result);
    QFETCH(int, progress);
    model.imageCapacity = capacity;
    model.softwareId = deviceSoftwareId.toLatin1();
    Device device(QStringLiteral("HID"), sim);
    const QByteArray image = pattern(qMax(length, ImageCapacity), 9);
    device.setImage(image.left(length));
    QCOMPARE(run(device, 'W'), result);
    QList<QByteArray> expected{infoRequest};
    for (int offset = 0; result == Ok && offset < length; offset += 64) {
        const QByteArray data = image.mid(offset, qMin(64, length - offset));
        expected.append(report(0x80, offset, data + QByteArray(64 - data.size(), char(0xFF))));
    }
    QCOMPARE(sim->setReports(), expected);
    if (length == 1 && result == Ok)
        QCOMPARE(expected.at(1), hex("00 000000 80") + image.left(1) + QByteArray(63, char(0xFF)));
    QCOMPARE(device.progress(), progress);
    QCOMPARE(sim->openCount(), 0);
}

void TestHidLink::firmware_files_blocksAndCodes_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("blocks");
    const QByteArray payload = pattern(130, 3);
    QTest::newRow("130 bytes: blocks at 0, 64, 128") << makeFirmware("VANT-HW-1", payload) << 1000 << int(Ok) << 3;
    QTest::newRow("130 bytes, capacity 130") << makeFirmware("VANT-HW-1", payload) << 130 << int(Ok) << 3;
    QTest::newRow("130 bytes, capacity 129") << makeFirmware("VANT-HW-1", payload) << 129 << int(Incompatible) << 0;
    QTest::newRow("34-byte file: no block") << makeFirmware("VANT-HW-1", {}) << 1000 << int(Ok) << 0;
    QTest::newRow("empty payload, negative capacity") << makeFirmware("VANT-HW-1", {}) << -1 << int(Incompatible) << 0;
    QTest::newRow("other hardware") << makeFirmware("VANT-HW-2", payload) << 1000 << int(Incompatible) << 0;
    QByteArray damaged = makeFirmware("VANT-HW-1", payload);
    damaged[40] = char(damaged[40] ^ 1);
    QTest::newRow("damaged file") << damaged << 1000 << int(FileError) << 0;
    QTest::newRow("missing file") << QByteArray() << 1000 << int(FileError) << 0;
    // Addresses have 24 bits: one byte more and the last block would land on the first, so such
    // a file is refused before any link sees it.
    QTest::newRow("payload past the 24-bit address") << makeFirmware("VANT-HW-1", QByteArray((1 << 24) + 1, 'x'))
                                                     << INT_MAX << int(FileError) << 0;
}

void TestHidLink::firmware_files_blocksAndCodes()
{
    QFETCH(QByteArray, file);
    QFETCH(int, capacity);
    QFETCH(int, result);
    QFETCH(int, blocks);
    const QString path = dir.filePath(QStringLiteral("update.fw"));
    QFile::remove(path);
    if (!file.isEmpty())
        QVERIFY(writeFile(path, file));
    model.firmwareCapacity = capacity;
    Device device(QStringLiteral("HID"), sim);
    QCOMPARE(run(device, 'P'), result);
    QCOMPARE(device.hardwareId(), QStringLiteral("VANT-HW-1"));
    const QList<QByteArray> sent = sim->setReports();
    QCOMPARE(sent.size(), 1 + blocks);
    QCOMPARE(sent.first(), infoRequest);
    if (blocks == 3) {
        const QByteArray payload = file.mid(32, 130);
        QCOMPARE(sent.at(1), hex("00 000000 81") + payload.left(64));
        QCOMPARE(sent.at(2), hex("00 400000 81") + payload.mid(64, 64));
        QCOMPARE(sent.at(3), hex("00 800000 81") + payload.mid(128) + QByteArray(62, char(0xFF)));
        QCOMPARE(device.progress(), 3 * 6400 / 130);
        QCOMPARE(model.lastFirmware(), payload + QByteArray(62, char(0xFF)));
    }
    QCOMPARE(sim->openCount(), 0);
}

void TestHidLink::firmwareCheck_notAFileOrTooLarge_refusedUnread_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("payloadSize");
    QTest::newRow("/dev/zero: endless, refused") << QStringLiteral("zero") << int(FileError) << 0;
    QTest::newRow("FIFO without writer: refused, no hang") << QStringLiteral("fifo") << int(FileError) << 0;
    QTest::newRow("folder: refused") << QStringLiteral("folder") << int(FileError) << 0;
    QTest::newRow("sparse valid file one byte over the limit: refused") << QStringLiteral("over") << int(FileError) << 0;
    QTest::newRow("file at exactly the limit: checked") << QStringLiteral("limit") << int(Ok) << (1 << 24);
}

void TestHidLink::firmwareCheck_notAFileOrTooLarge_refusedUnread()
{
    QFETCH(QString, kind);
    QFETCH(int, result);
    QFETCH(int, payloadSize);
    const qint64 limit = (qint64(1) << 24) + 32 + 2;
    QString path = dir.filePath(QStringLiteral("update-") + kind);
    if (kind == QLatin1String("zero")) {
        path = QStringLiteral("/dev/zero");
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("over")) {
        // A well-formed file for this hardware in every other respect, written sparse: only the
        // header and the CRC take room on the disk.
        const QByteArray whole = makeFirmware("VANT-HW-1", QByteArray((1 << 24) + 1, '\0'));
        QCOMPARE(whole.size(), limit + 1);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(whole.left(32)), qint64(32));
        QVERIFY(f.seek(limit - 1));
        QCOMPARE(f.write(whole.right(2)), qint64(2));
    } else {
        QVERIFY(writeFile(path, makeFirmware("VANT-HW-1", pattern(1 << 24, 5))));
        QCOMPARE(QFileInfo(path).size(), limit);
    }
    QByteArray payload;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(firmwareCheck(path, QStringLiteral("VANT-HW-1"), &payload), result);
    QCOMPARE(payload.size(), payloadSize);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void TestHidLink::faults_endWithCodeAndLines_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("call");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("setCalls");
    const QByteArray setFailed = "\nusbhidSetReport failed\n";
    const QByteArray getFailed = "\nusbhidGetReport failed\n";
    const auto row = [](const QByteArray &name, char op, SimHidFaultKind kind, int call, int result,
                        const QByteArray &lines, int setCalls) {
        QTest::newRow(name.constData()) << op << int(kind) << call << result << lines << setCalls;
    };
    for (char op : {'I', 'R', 'W', 'P'}) {
        const QByteArray o = QByteArray(" / ") + op;
        row("information refused" + o, op, SimHidFaultKind::InfoRefused, 0, ProtocolError, setFailed, 1);
        row("information answer fails" + o, op, SimHidFaultKind::GetFails, 1, ProtocolError, getFailed, 1);
        row("information answer short" + o, op, SimHidFaultKind::ShortReply, 1, ProtocolError, getFailed, 1);
        row("unplugged at once" + o, op, SimHidFaultKind::UnplugAfter, 0, ProtocolError, setFailed, 1);
    }
    // Download of 1000 bytes: requests 2..17.
    row("block request 1 refused / R", 'R', SimHidFaultKind::SetFails, 2, ProtocolError, setFailed, 2);
    row("block request 16 refused / R", 'R', SimHidFaultKind::SetFails, 17, ProtocolError, setFailed, 17);
    row("block answer 5 fails / R", 'R', SimHidFaultKind::GetFails, 6, ProtocolError, getFailed, 6);
    row("block answer 3 short / R", 'R', SimHidFaultKind::ShortReply, 4, ProtocolError, getFailed, 4);
    row("unplugged after block 2 / R", 'R', SimHidFaultKind::UnplugAfter, 6, ProtocolError, setFailed, 4);
    // Upload of 200 bytes and firmware of 130 bytes: blocks are requests 2, 3 ...
    row("block 1 refused / W", 'W', SimHidFaultKind::SetFails, 2, ProtocolError, setFailed, 2);
    row("block 4 refused / W", 'W', SimHidFaultKind::SetFails, 5, ProtocolError, setFailed, 5);
    row("unplugged after block 2 / W", 'W', SimHidFaultKind::UnplugAfter, 4, ProtocolError, setFailed, 4);
    row("block 3 refused / P", 'P', SimHidFaultKind::SetFails, 4, ProtocolError, setFailed, 4);
    row("no answer is read after a write / W", 'W', SimHidFaultKind::GetFails, 2, Ok, "", 5);
}

void TestHidLink::faults_endWithCodeAndLines()
{
    QFETCH(char, operation);
    QFETCH(int, kind);
    QFETCH(int, call);
    QFETCH(int, result);
    QFETCH(QByteArray, lines);
    QFETCH(int, setCalls);
    model.imageCapacity = 1000;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("update.fw")), makeFirmware("VANT-HW-1", pattern(130, 1))));
    sim->faults = {SimHidFault{SimHidFaultKind(kind), call}};
    Device device(QStringLiteral("HID"), sim);
    device.setImage(QByteArray(200, '\0'));
    QCOMPARE(run(device, operation), result);
    QCOMPARE(diag, lines);
    QCOMPARE(sim->setReports().size(), setCalls);
    // The identifiers are known once the information request went through.
    const bool informed = setCalls > 1;
    QCOMPARE(device.softwareId(), informed ? QStringLiteral("VANT-DEMO-1") : QString());
    QCOMPARE(sim->openCount(), 0);
}

void TestHidLink::cancel_atEndOfConnection_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<int>("cancelAtCall");
    QTest::addColumn<QList<SimHidFault>>("faults");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("setCalls");
    QTest::addColumn<QByteArray>("deviceSoftwareId");
    const QList<SimHidFault> none;
    const QByteArray same = "VANT-DEMO-1";
    QTest::newRow("identify completed, then cancel: 5") << 'I' << 2 << none << int(Canceled) << 1 << same;
    QTest::newRow("download stops after the block") << 'R' << 3 << none << int(Canceled) << 2 << same;
    QTest::newRow("upload stops after the block") << 'W' << 3 << none << int(Canceled) << 2 << same;
    QTest::newRow("firmware stops after the block") << 'P' << 4 << none << int(Canceled) << 3 << same;
    QTest::newRow("incompatible upload, then cancel: 5")
        << 'W' << 1 << none << int(Canceled) << 1 << QByteArray("VANT-DEMO-2");
    QTest::newRow("failed information request stays 4")
        << 'I' << 1 << QList<SimHidFault>{{SimHidFaultKind::GetFails, 1}} << int(ProtocolError) << 1 << same;
    QTest::newRow("failed block becomes 5")
        << 'R' << 1 << QList<SimHidFault>{{SimHidFaultKind::SetFails, 2}} << int(Canceled) << 2 << same;
}

void TestHidLink::cancel_atEndOfConnection()
{
    QFETCH(char, operation);
    QFETCH(int, cancelAtCall);
    QFETCH(QList<SimHidFault>, faults);
    QFETCH(int, result);
    QFETCH(int, setCalls);
    QFETCH(QByteArray, deviceSoftwareId);
    model.imageCapacity = 1000;
    model.softwareId = deviceSoftwareId;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("update.fw")), makeFirmware("VANT-HW-1", pattern(300, 1))));
    sim->faults = faults;
    Device device(QStringLiteral("HID"), sim);
    device.setImage(QByteArray(300, '\0'));
    sim->onCall = [&device, cancelAtCall](int call) {
        if (call == cancelAtCall)
            device.requestCancel();
    };
    QCOMPARE(run(device, operation), result);
    QCOMPARE(sim->setReports().size(), setCalls);
    QCOMPARE(sim->openCount(), 0);
}

void TestHidLink::signals_progressRisesThenOneResult_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<QList<SimHidFault>>("faults");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("lastProgress"); // -1: no progress signal at all
    QTest::newRow("identify: result only") << 'I' << QList<SimHidFault>{} << int(Ok) << -1;
    QTest::newRow("download: up to 100") << 'R' << QList<SimHidFault>{} << int(Ok) << 100;
    QTest::newRow("upload of 16384 bytes: up to 100") << 'W' << QList<SimHidFault>{} << int(Ok) << 100;
    // The first get-feature call answers the information request; the 60th, for block 59, fails.
    QTest::newRow("download failing at block 60: stops where it was")
        << 'R' << QList<SimHidFault>{{SimHidFaultKind::GetFails, 60}} << int(ProtocolError) << 58 * 64 * 100 / 16384;
}

void TestHidLink::signals_progressRisesThenOneResult()
{
    QFETCH(char, operation);
    QFETCH(QList<SimHidFault>, faults);
    QFETCH(int, result);
    QFETCH(int, lastProgress);
    model.imageCapacity = ImageCapacity;
    sim->faults = faults;
    Device device(QStringLiteral("HID"), sim);
    device.setImage(pattern(ImageCapacity, 3));
    QSignalSpy progress(&device, &Device::progressChanged);
    QSignalSpy done(&device, &Device::resultReady);
    QCOMPARE(run(device, operation), result);

    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().first().toInt(), result);
    QList<int> values;
    for (const QList<QVariant> &signal : progress)
        values.append(signal.first().toInt());
    for (int i = 0; i < values.size(); ++i)
        QVERIFY2(values[i] > (i == 0 ? 0 : values[i - 1]), qPrintable(QString::number(values[i])));
    QCOMPARE(values.isEmpty() ? -1 : values.last(), lastProgress);
    QCOMPARE(device.progress(), qMax(lastProgress, 0));
    QCOMPARE(device.waitForResult(), result);
}

void TestHidLink::waitForResult_neverStarted_returnsAtOnce()
{
    Device device(QStringLiteral("HID"), sim);
    QElapsedTimer timer;
    timer.start();
    device.waitForResult();
    QVERIFY(!device.hasResult());
    QVERIFY(!device.isFinished());
    QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(sim->calls.isEmpty());
}

void TestHidLink::blockFunctions_withoutDevice_failAtOnce()
{
    uchar block[64] = {};
    HidLink link(*sim);
    QVERIFY(!link.isOpen());
    QVERIFY(!link.readInfo());
    QVERIFY(!link.readBlock(0, block));
    QVERIFY(!link.writeBlock(HidImageBlock, 0, block));
    QVERIFY(sim->calls.isEmpty());
    // And after a release, too.
    QVERIFY(link.find());
    link.release();
    link.release();
    QVERIFY(!link.readInfo());
    QVERIFY(sim->calls.isEmpty());
    QCOMPARE(sim->openCount(), 0);
}

void TestHidLink::link_lowerCaseHid_isAPortName()
{
    // A HID device is present, but "hid" is not the keyword: it names a port that is not there.
    Device device(QStringLiteral("hid"), sim);
    QCOMPARE(run(device, 'I'), int(PortError));
    QVERIFY(sim->opened.isEmpty());
    QCOMPARE(diag, QByteArray("ERR:COM Error 2\n"));

    Device upper(QStringLiteral("HID"), sim);
    QCOMPARE(run(upper, 'I'), int(Ok));
    sim->interfaces.clear();
    Device absent(QStringLiteral("HID"), sim);
    diag.clear();
    absent.startIdentify();
    absent.requestCancel(); // an open failure keeps its code

    QVERIFY(absent.wait(5000));
    QCOMPARE(absent.result(), int(NotFound));
    QCOMPARE(diag, QByteArray("Can't open USB device\n"));
}

QTEST_GUILESS_MAIN(TestHidLink)
#include "tst_hidlink.moc"
