// The program's side of the serial protocol, byte for byte, against a scripted device at the
// far end of a real pseudo-terminal. The worker runs on its own thread; the test is the device.
#include "device/device.h"
#include "device/seriallink.h"
#include "device/serialprotocol.h"
#include "tests/support/devicefiles.h"
#include "tests/support/ptypeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using testfiles::makeFirmware;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray frame(int number, const QByteArray &data)
{
    QByteArray f;
    f.append(char(0x01));
    f.append(char(number));
    f.append(char(255 - number));
    f.append(data);
    uchar sum = 0;
    for (char c : data)
        sum = uchar(sum + uchar(c));
    f.append(char(sum));
    return f;
}

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 31 + seed) & 0xFF);
    return data;
}

QByteArray idReply(const QByteArray &text)
{
    return char(0x02) + text + char(0x03);
}

// Answers the identification the program opens every connection with.
bool identifyAs(PtyPeer &peer, const QByteArray &text = "VANT-HW-1\nVANT-DEMO-1")
{
    if (peer.read(1, 3000) != "I")
        return false;
    return peer.write(idReply(text));
}

} // namespace

class TestSerialProtocol : public QObject
{
    Q_OBJECT
private slots:
    void identify_replyText_fillsIdentifiers_data();
    void identify_replyText_fillsIdentifiers();
    void identify_silentDevice_endsWithProtocolErrorAfterASecond();
    void identify_chatteringDevice_keepsExchangeAlive();
    void identify_cancelWhileWaiting_endsCanceled();
    void identify_cancelWhileDeviceChatters_endsCanceled();

    void download_twoBlocks_goldenExchange();
    void download_badFrame_data();
    void download_badFrame();
    void download_fullImage_andOneBlockTooMany_data();
    void download_fullImage_andOneBlockTooMany();

    void upload_200Bytes_twoFramesThenEot();
    void upload_refusedBlock_endsWithoutEot_data();
    void upload_refusedBlock_endsWithoutEot();
    void upload_otherSoftware_onlyIdentifies();
    void upload_cancelAfterBlock_sendsCan();
    void upload_noStartNak_repeatsCommandEveryTwoSeconds();

    void firmware_file_data();
    void firmware_file();

    void unplug_duringWait_endsAtOnce_data();
    void unplug_duringWait_endsAtOnce();

    void download_progressFollowsAnnouncedSize();
    void hostileDevice_clearErrorAndBoundedResult_data();
    void hostileDevice_clearErrorAndBoundedResult();

    void destroy_neverStarted_returnsAtOnce();
    void destroy_running_cancelsAndWaits();
};

void TestSerialProtocol::identify_replyText_fillsIdentifiers_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("hardware");
    QTest::addColumn<QString>("software");
    QTest::newRow("hardware and software")
        << idReply("VANT-HW-1\nVANT-DEMO-1") << "VANT-HW-1" << "VANT-DEMO-1";
    QTest::newRow("no line feed names both") << idReply("ABC") << "ABC" << "ABC";
    QTest::newRow("later line feeds stay in software")
        << idReply("HW1\nSW2\nX") << "HW1" << "SW2\nX";
    QTest::newRow("carriage return stays") << idReply("HW1\r\nSW2") << "HW1\r" << "SW2";
    const QByteArray seventy = "0123456789ABCDEFGHIJ0123456789ABCDEFGHIJ0123456789ABCDEFGHIJ0123456789";
    QTest::newRow("70 characters keep the first 63")
        << idReply(seventy) << QString::fromLatin1(seventy.left(63)) << QString::fromLatin1(seventy.left(63));
    QTest::newRow("empty text ignored, later text taken")
        << (hex("0203") + idReply("A\nB")) << "A" << "B";
    QTest::newRow("bytes before STX ignored")
        << (QByteArray("noise\x15\x06\x03") + idReply("A\nB")) << "A" << "B";
    QTest::newRow("second STX starts the text again")
        << (hex("02") + "junk" + idReply("A\nB")) << "A" << "B";
    QTest::newRow("8-bit bytes become one character each")
        << idReply("\xC0\xFF\n\x80") << QString(QChar(0xC0)) + QChar(0xFF) << QString(QChar(0x80));
}

void TestSerialProtocol::identify_replyText_fillsIdentifiers()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, hardware);
    QFETCH(QString, software);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startIdentify();
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("49"));
    QVERIFY(peer.write(reply));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(device.hardwareId(), hardware);
    QCOMPARE(device.softwareId(), software);
    QCOMPARE(device.progress(), 0);
    QCOMPARE(peer.readFor(100).toHex(' '), QByteArray());
}

void TestSerialProtocol::identify_silentDevice_endsWithProtocolErrorAfterASecond()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    QElapsedTimer timer;
    device.startIdentify();
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("49"));
    timer.start();
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(ProtocolError));
    QCOMPARE(device.hardwareId(), QStringLiteral("?"));
    QCOMPARE(device.softwareId(), QStringLiteral("?"));
    QVERIFY2(timer.elapsed() >= 950 && timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
}

void TestSerialProtocol::identify_chatteringDevice_keepsExchangeAlive()
{
    // Only silence tests the deadline: a device that keeps talking past the second still
    // gets its answer read.
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startIdentify();
    QCOMPARE(peer.read(1, 3000), QByteArray("I"));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 1500) {
        peer.write("~");
        QThread::msleep(40);
    }
    QVERIFY(peer.write(idReply("HW\nSW")));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(device.softwareId(), QStringLiteral("SW"));
}

void TestSerialProtocol::identify_cancelWhileWaiting_endsCanceled()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startIdentify();
    QCOMPARE(peer.read(1, 3000), QByteArray("I"));
    QElapsedTimer timer;
    timer.start();
    device.requestCancel();
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Canceled));
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
}

void TestSerialProtocol::identify_cancelWhileDeviceChatters_endsCanceled()
{
    // Noise without a pause keeps the exchange alive, but must not lock the user out.
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startIdentify();
    QCOMPARE(peer.read(1, 3000), QByteArray("I"));
    QElapsedTimer timer;
    timer.start();
    bool canceled = false;
    qint64 canceledAt = 0;
    while (!device.wait(20) && timer.elapsed() < 5000) {
        peer.write("~");
        if (!canceled && timer.elapsed() >= 1500) {
            device.requestCancel();
            canceled = true;
            canceledAt = timer.elapsed();
        }
    }
    QVERIFY(device.isFinished());
    QCOMPARE(device.result(), int(Canceled));
    QVERIFY2(timer.elapsed() - canceledAt < 300, qPrintable(QString::number(timer.elapsed() - canceledAt)));
}

void TestSerialProtocol::download_twoBlocks_goldenExchange()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startDownload();
    QVERIFY(identifyAs(peer));
    QCOMPARE(peer.read(2, 3000).toHex(' '), QByteArray("52 15"));
    const QByteArray first = pattern(128, 1), second = pattern(128, 2);
    QVERIFY(peer.write(frame(1, first)));
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
    QVERIFY(peer.write(frame(2, second)));
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
    QVERIFY(peer.write(hex("04")));
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(int(device.image().size()), 256);
    QCOMPARE(device.image(), first + second);
    QCOMPARE(device.softwareId(), QStringLiteral("VANT-DEMO-1"));
    QCOMPARE(peer.readFor(100).toHex(' '), QByteArray());
}

void TestSerialProtocol::hostileDevice_clearErrorAndBoundedResult_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<QList<QByteArray>>("replies"); // what the device says, piece by piece
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("softwareId");
    QTest::addColumn<int>("imageSize");
    const QByteArray megabyte(1 << 20, 'A');
    const QByteArray nuls(1 << 20, '\0');
    const QByteArray id = idReply("VANT-HW-1\nVANT-DEMO-1");
    QTest::newRow("identification line of 4 MiB: kept to its limit")
        << 'I' << QList<QByteArray>{{}, "\x02" + megabyte.repeated(4) + "\nX\x03"} << int(Ok) << QString() << 0;
    QTest::newRow("a megabyte of NUL bytes instead of an answer")
        << 'I' << QList<QByteArray>{{}, nuls} << int(ProtocolError) << "?" << 0;
    QTest::newRow("NUL bytes instead of the first block")
        << 'R' << QList<QByteArray>{{}, id, {}, nuls} << int(ProtocolError) << "VANT-DEMO-1" << 0;
    QTest::newRow("endless start bytes instead of a frame")
        << 'R' << QList<QByteArray>{{}, id, {}, QByteArray(1 << 20, '\x01')} << int(ProtocolError) << "VANT-DEMO-1"
        << 0;
    QTest::newRow("a good block, then a megabyte of noise")
        << 'R' << QList<QByteArray>{{}, id, {}, frame(1, pattern(128, 1)), megabyte} << int(ProtocolError)
        << "VANT-DEMO-1" << 128;
    QTest::newRow("two blocks and EOT: the link itself is sound")
        << 'R' << QList<QByteArray>{{}, id, {}, frame(1, pattern(128, 1)), frame(2, pattern(128, 2)), "\x04"}
        << int(Ok) << "VANT-DEMO-1" << 256;
}

// The device's bytes come through a scripted link, so megabytes cost no line time; when the
// script ends the device is gone.
void TestSerialProtocol::hostileDevice_clearErrorAndBoundedResult()
{
    QFETCH(char, operation);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, result);
    QFETCH(QString, softwareId);
    QFETCH(int, imageSize);
    SerialLink link;
    link.openScripted(replies);
    Device device(QStringLiteral("scripted"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(operation == 'I' ? serialIdentify(link, device) : serialDownload(link, device), result);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(device.hardwareId().size() <= IdentifyTextMax);
    if (!softwareId.isNull())
        QCOMPARE(device.softwareId(), softwareId);
    QCOMPARE(int(device.image().size()), imageSize);
}

void TestSerialProtocol::download_badFrame_data()
{
    QTest::addColumn<QByteArray>("bad");      // sent in place of block 2
    QTest::addColumn<QByteArray>("answer");   // what the program must reply
    QTest::addColumn<bool>("resend");         // the device then sends block 2 properly
    QTest::addColumn<int>("result");
    const QByteArray data = pattern(128, 2);
    QByteArray badSum = frame(2, data);
    badSum[131] = char(badSum[131] + 1);
    QByteArray badComplement = frame(2, data);
    badComplement[2] = char(0x00);
    QTest::newRow("wrong checksum: NAK, resend accepted") << badSum << hex("15") << true << int(Ok);
    QTest::newRow("damaged complement: NAK, resend accepted") << badComplement << hex("15") << true << int(Ok);
    QTest::newRow("previous block again: CAN") << frame(1, pattern(128, 1)) << hex("18") << false << int(ProtocolError);
    QTest::newRow("next number skipped: CAN") << frame(3, data) << hex("18") << false << int(ProtocolError);
    QTest::newRow("device cancels: silence") << hex("18") << QByteArray() << false << int(ProtocolError);
    QTest::newRow("noise byte: ignored, resend accepted") << hex("55") << QByteArray() << true << int(Ok);
}

void TestSerialProtocol::download_badFrame()
{
    QFETCH(QByteArray, bad);
    QFETCH(QByteArray, answer);
    QFETCH(bool, resend);
    QFETCH(int, result);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startDownload();
    QVERIFY(identifyAs(peer));
    QCOMPARE(peer.read(2, 3000).toHex(' '), QByteArray("52 15"));
    QVERIFY(peer.write(frame(1, pattern(128, 1))));
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
    QVERIFY(peer.write(bad));
    QCOMPARE(peer.read(int(answer.size()), 3000).toHex(' '), answer.toHex(' '));
    if (resend) {
        QVERIFY(peer.write(frame(2, pattern(128, 2))));
        QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
        QVERIFY(peer.write(hex("04")));
        QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
    }
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), result);
    if (result == Ok)
        QCOMPARE(int(device.image().size()), 256);
    QCOMPARE(peer.readFor(100).toHex(' '), QByteArray());
}

void TestSerialProtocol::download_fullImage_andOneBlockTooMany_data()
{
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("result");
    QTest::newRow("no block: EOT first gives an empty image") << 0 << int(Ok);
    QTest::newRow("128 blocks fill the image") << 128 << int(Ok);
    QTest::newRow("129th block has no room") << 129 << int(ProtocolError);
}

void TestSerialProtocol::download_fullImage_andOneBlockTooMany()
{
    QFETCH(int, blocks);
    QFETCH(int, result);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startDownload();
    QVERIFY(identifyAs(peer));
    QCOMPARE(peer.read(2, 3000).toHex(' '), QByteArray("52 15"));
    QByteArray sent;
    for (int k = 1; k <= blocks; ++k) {
        const QByteArray data = pattern(128, k);
        QVERIFY(peer.write(frame(k & 0xFF, data)));
        if (k <= 128) {
            sent += data;
            QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
        }
    }
    if (blocks <= 128) {
        QVERIFY(peer.write(hex("04")));
        QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("06"));
    }
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), result);
    QCOMPARE(int(device.image().size()), int(sent.size()));
    QCOMPARE(device.image(), sent);
    QCOMPARE(peer.readFor(100).toHex(' '), QByteArray());
    // Every block stored is counted; a full image ends the bar.
    if (blocks >= 128)
        QCOMPARE(device.progress(), 100);
}

// The bar follows the size the image's header announces once the first block is in: 300
// data bytes, header and CRC take three blocks.
void TestSerialProtocol::download_progressFollowsAnnouncedSize()
{
    QByteArray first = pattern(128, 1);
    first[0] = char(300 & 0xFF);
    first[1] = char(300 >> 8);
    SerialLink link;
    link.openScripted({{}, idReply("VANT-HW-1\nVANT-DEMO-1"), {}, frame(1, first), frame(2, pattern(128, 2)),
                       frame(3, pattern(128, 3)), "\x04"});
    Device device(QStringLiteral("scripted"));
    QList<int> seen;
    connect(&device, &Device::progressChanged, this, [&](int value) { seen << value; }, Qt::DirectConnection);
    QCOMPARE(serialDownload(link, device), int(Ok));
    QCOMPARE(seen, (QList<int>{33, 66, 100}));
}

void TestSerialProtocol::upload_200Bytes_twoFramesThenEot()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    const QByteArray image = pattern(200, 7);
    device.setImage(image.left(200));
    device.startUpload(QStringLiteral("VANT-DEMO-1"));
    QVERIFY(identifyAs(peer));
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("57"));
    QVERIFY(peer.write(hex("15")));
    QCOMPARE(peer.read(132, 3000).toHex(' '), frame(1, image.left(128)).toHex(' '));
    QVERIFY(peer.write(hex("06")));
    const QByteArray second = image.mid(128) + QByteArray(56, char(0xFF));
    QCOMPARE(peer.read(132, 3000).toHex(' '), frame(2, second).toHex(' '));
    QVERIFY(peer.write(hex("06")));
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("04"));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Ok));
    // k * 12800 / length: 64 after one block, 128 after the partial last one.
    QCOMPARE(device.progress(), 128);
}

void TestSerialProtocol::upload_refusedBlock_endsWithoutEot_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("NAK") << hex("15");
    QTest::newRow("CAN") << hex("18");
    QTest::newRow("noise then NAK") << hex("4115");
}

void TestSerialProtocol::upload_refusedBlock_endsWithoutEot()
{
    QFETCH(QByteArray, reply);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.setImage(QByteArray(300, '\0'));
    device.startUpload(QStringLiteral("VANT-DEMO-1"));
    QVERIFY(identifyAs(peer));
    QCOMPARE(peer.read(1, 3000), QByteArray("W"));
    QVERIFY(peer.write(hex("15")));
    QCOMPARE(peer.read(132, 3000).size(), 132);
    QVERIFY(peer.write(reply));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(ProtocolError));
    QCOMPARE(peer.readFor(200).toHex(' '), QByteArray());
}

void TestSerialProtocol::upload_otherSoftware_onlyIdentifies()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.setImage(QByteArray(100, '\0'));
    device.startUpload(QStringLiteral("VANT-DEMO-2"));
    QVERIFY(identifyAs(peer));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Incompatible));
    QCOMPARE(peer.readFor(300).toHex(' '), QByteArray());
}

void TestSerialProtocol::upload_cancelAfterBlock_sendsCan()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.setImage(QByteArray(1000, '\0'));
    device.startUpload(QStringLiteral("VANT-DEMO-1"));
    QVERIFY(identifyAs(peer));
    QCOMPARE(peer.read(1, 3000), QByteArray("W"));
    QVERIFY(peer.write(hex("15")));
    QCOMPARE(peer.read(132, 3000).size(), 132);
    device.requestCancel();
    QVERIFY(peer.write(hex("06")));
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("18"));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Canceled));
    QCOMPARE(peer.readFor(100).toHex(' '), QByteArray());
}

void TestSerialProtocol::upload_noStartNak_repeatsCommandEveryTwoSeconds()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.setImage(QByteArray(0, '\0'));
    device.startUpload(QStringLiteral("VANT-DEMO-1"));
    QVERIFY(identifyAs(peer));
    QCOMPARE(peer.read(1, 3000), QByteArray("W"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(peer.read(1, 3000), QByteArray("W"));
    QVERIFY2(timer.elapsed() >= 1900, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(peer.write(hex("15")));
    // An empty image: no block, just the end.
    QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("04"));
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(Ok));
}

void TestSerialProtocol::firmware_file_data()
{
    QTest::addColumn<QByteArray>("file");    // empty: no file at all
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("payload"); // what the device must receive, padded

    const QByteArray payload = pattern(130, 9);
    const QByteArray good = makeFirmware("VANT-HW-1", payload);
    QTest::newRow("two blocks, last padded")
        << good << int(Ok) << payload + QByteArray(126, char(0xFF));
    QTest::newRow("header and CRC only: no block") << makeFirmware("VANT-HW-1", {}) << int(Ok) << QByteArray();
    QByteArray damaged = good;
    damaged[40] = char(damaged[40] ^ 0x01);
    QTest::newRow("one byte changed") << damaged << int(FileError) << QByteArray();
    QByteArray badCrc = good;
    badCrc[badCrc.size() - 1] = char(badCrc[badCrc.size() - 1] ^ 0x80);
    QTest::newRow("CRC byte changed") << badCrc << int(FileError) << QByteArray();
    QTest::newRow("built for other hardware") << makeFirmware("VANT-HW-2", payload) << int(Incompatible) << QByteArray();
    QTest::newRow("hardware prefix only") << makeFirmware("VANT-HW", payload) << int(Incompatible) << QByteArray();
    // 0xFF 0xFF: CRC-16/MODBUS over FF FF is 0, so the CRC test alone would pass it.
    QTest::newRow("shorter than header and CRC") << hex("FFFF") << int(FileError) << QByteArray();
    QTest::newRow("missing file") << QByteArray() << int(FileError) << QByteArray();
}

void TestSerialProtocol::firmware_file()
{
    QFETCH(QByteArray, file);
    QFETCH(int, result);
    QFETCH(QByteArray, payload);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("device.fw"));
    if (!file.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.startFirmwareUpdate(path);
    QVERIFY(identifyAs(peer));
    if (result == Ok) {
        QCOMPARE(peer.read(1, 3000), QByteArray("P"));
        QVERIFY(peer.write(hex("15")));
        for (int k = 0; k * 128 < payload.size(); ++k) {
            QCOMPARE(peer.read(132, 3000).toHex(' '), frame(k + 1, payload.mid(k * 128, 128)).toHex(' '));
            QVERIFY(peer.write(hex("06")));
        }
        QCOMPARE(peer.read(1, 3000).toHex(' '), QByteArray("04"));
    }
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), result);
    QCOMPARE(peer.readFor(100).toHex(' '), QByteArray());
}

void TestSerialProtocol::unplug_duringWait_endsAtOnce_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<int>("stage"); // 0 identification, 1 start, 2 after the first block
    QTest::newRow("identify, awaiting reply") << 'I' << 0;
    QTest::newRow("download, awaiting first block") << 'R' << 1;
    QTest::newRow("download, awaiting second block") << 'R' << 2;
    QTest::newRow("upload, awaiting start NAK") << 'W' << 1;
    QTest::newRow("upload, awaiting block reply") << 'W' << 2;
}

void TestSerialProtocol::unplug_duringWait_endsAtOnce()
{
    QFETCH(char, operation);
    QFETCH(int, stage);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    Device device(peer.slavePath);
    device.setImage(QByteArray(1000, '\0'));
    if (operation == 'I')
        device.startIdentify();
    else if (operation == 'R')
        device.startDownload();
    else
        device.startUpload(QStringLiteral("VANT-DEMO-1"));
    if (stage == 0) {
        QCOMPARE(peer.read(1, 3000), QByteArray("I"));
    } else {
        QVERIFY(identifyAs(peer));
        QCOMPARE(peer.read(1, 3000), QByteArray(1, operation));
    }
    if (stage == 2) {
        if (operation == 'R') {
            QCOMPARE(peer.read(1, 3000).toHex(), QByteArray("15"));
            QVERIFY(peer.write(frame(1, pattern(128, 1))));
            QCOMPARE(peer.read(1, 3000).toHex(), QByteArray("06"));
        } else {
            QVERIFY(peer.write(hex("15")));
            QCOMPARE(peer.read(132, 3000).size(), 132);
        }
    }
    QThread::msleep(50);
    QElapsedTimer timer;
    timer.start();
    peer.hangUp();
    QVERIFY(device.wait(5000));
    QCOMPARE(device.result(), int(ProtocolError));
    QVERIFY2(timer.elapsed() < 300, qPrintable(QString::number(timer.elapsed())));
    // The worker closed the port: it opens again at once.
    PtyPeer next;
    SerialLink link;
    QVERIFY(link.open(next.slavePath));
}

void TestSerialProtocol::destroy_neverStarted_returnsAtOnce()
{
    QElapsedTimer timer;
    timer.start();
    delete new Device(QStringLiteral("/nonexistent/tty"));
    QVERIFY(timer.elapsed() < 100);
}

void TestSerialProtocol::destroy_running_cancelsAndWaits()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    auto *device = new Device(peer.slavePath);
    device->startIdentify();
    QCOMPARE(peer.read(1, 3000), QByteArray("I"));
    QVERIFY(device->isRunning());
    QElapsedTimer timer;
    timer.start();
    delete device; // returns once the identification has seen the request, well before its second
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestSerialProtocol)
#include "tst_serialprotocol.moc"
