#include "devsimpeer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const int ReplyTimeoutMs = 2000;
const int QuietMs = 300;

// The stored image most tests serve: 128 bytes 0x11, then 128 bytes 0x22.
QByteArray twoBlockImage()
{
    return QByteArray(128, char(0x11)) + QByteArray(128, char(0x22));
}

// Its two frames as a device must send them: SOH, number, complement, data, sum.
const QByteArray Frame1 = hex("01 01 FE") + QByteArray(128, char(0x11)) + hex("80");
const QByteArray Frame2 = hex("01 02 FD") + QByteArray(128, char(0x22)) + hex("00");
const QByteArray DefaultIdReply = hex("02 56 41 4E 54 2D 48 57 2D 31 0A 56 41 4E 54 2D 44 45 4D 4F 2D 31 03");

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A frame the program would send: data filled up to 128 bytes with fill.
QByteArray programFrame(int number, const QByteArray &data, char fill = char(0xFF))
{
    QByteArray f = QByteArray(1, 0x01) + char(number) + char(255 - number) + data;
    while (f.size() < 131)
        f.append(fill);
    uchar sum = 0;
    for (int i = 3; i < 131; ++i)
        sum = uchar(sum + uchar(f.at(i)));
    return f + char(sum);
}

} // namespace

class TestDevSim : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void identify_repliesWithIdentifiers_data();
    void identify_repliesWithIdentifiers();
    void identify_garbageFault_onlyNonStxBeforeReply();
    void log_recordsBothDirections();

    void download_sendsFramesByteExact_data();
    void download_sendsFramesByteExact();
    void download_extraBlock_sends129Frames();

    void upload_storesImageByteExact_data();
    void upload_storesImageByteExact();
    void upload_refused_keepsStoredImage_data();
    void upload_refused_keepsStoredImage();
    void upload_largerThanCapacity_refusedAtEot();
    void firmware_storesPayloadAsReceived();

    void faults_exchangeExactBytes_data();
    void faults_exchangeExactBytes();
    void delays_holdReplyBack_data();
    void delays_holdReplyBack();
    void badFaultOption_isUsageError_data();
    void badFaultOption_isUsageError();

    void hangUpBetweenCommands_keepsServing();
    void registry_entryLivesWithProcess();
    void link_replacesStaleLinkAndIsRemoved();
    void link_refusesToReplaceFile();
    void unplugAfter_portVanishes();

    void lrzszReceiver_getsDownload();
    void lrzszSender_uploadIsStored();
    void pacing_downloadTakesWireTime();

private:
    QStringList base(const QStringList &extra = {}) const
    {
        return QStringList{"--no-pace", "--image", imagePath} + extra;
    }
    // Runs the simulator with extra arguments and opens its port.
    bool startWith(SimProcess &sim, PtyPeer &peer, const QStringList &arguments)
    {
        return !sim.start(arguments).isEmpty() && peer.open(sim.port);
    }

    QTemporaryDir dir;
    QString imagePath;
};

void TestDevSim::init()
{
    QVERIFY(dir.isValid());
    QVERIFY(!qgetenv("VANT_DEVSIM").isEmpty());
    imagePath = dir.filePath(QStringLiteral("image-%1.bin").arg(QTest::currentTestFunction()));
    QFile::remove(imagePath);
    QVERIFY(writeFile(imagePath, twoBlockImage()));
}

void TestDevSim::identify_repliesWithIdentifiers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("default identifiers") << QStringList() << QByteArray("I") << DefaultIdReply;
    QTest::newRow("noise before the command is ignored")
        << QStringList() << hex("00 FF 06 15 7A 49") << DefaultIdReply;
    QTest::newRow("given identifiers")
        << QStringList{"--hardware-id", "HW-7", "--software-id", "FMT-X"} << QByteArray("I")
        << hex("02 48 57 2D 37 0A 46 4D 54 2D 58 03");
    QTest::newRow("empty-etx: empty text first")
        << QStringList{"--fault", "empty-etx", "--hardware-id", "A", "--software-id", "B"}
        << QByteArray("I") << hex("02 03 02 41 0A 42 03");
    QTest::newRow("stx-no-etx: no closing byte")
        << QStringList{"--fault", "stx-no-etx", "--hardware-id", "A", "--software-id", "B"}
        << QByteArray("I") << hex("02 41 0A 42");
    // 9 + 1 + 11 characters, then digits of the position up to 70.
    QTest::newRow("long-id: 70 characters")
        << QStringList{"--fault", "long-id"} << QByteArray("I")
        << QByteArray("\x02VANT-HW-1\nVANT-DEMO-1") + "1234567890123456789012345678901234567890123456789"
               + "\x03";
    QTest::newRow("silence: no answer") << QStringList{"--fault", "silence"} << QByteArray("I") << QByteArray();
}

void TestDevSim::identify_repliesWithIdentifiers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, reply);
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base(arguments)));
    QVERIFY(peer.write(sent));
    QCOMPARE(peer.read(reply.size(), ReplyTimeoutMs).toHex(' '), reply.toHex(' '));
    QCOMPARE(peer.readFor(QuietMs).toHex(' '), QByteArray());
    QCOMPARE(sim.stop(), 0);
}

void TestDevSim::identify_garbageFault_onlyNonStxBeforeReply()
{
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base({"--fault", "garbage-before-id"})));
    QVERIFY(peer.write("I"));
    const QByteArray got = peer.readFor(QuietMs);
    QVERIFY2(got.endsWith(DefaultIdReply), got.toHex(' '));
    const QByteArray garbage = got.left(got.size() - DefaultIdReply.size());
    QVERIFY(!garbage.isEmpty());
    QVERIFY2(!garbage.contains('\x02'), garbage.toHex(' '));
}

void TestDevSim::log_recordsBothDirections()
{
    const QString logPath = dir.filePath("exchange.log");
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base({"--log", logPath, "--hardware-id", "A", "--software-id", "B"})));
    QVERIFY(peer.write("I"));
    QCOMPARE(peer.read(5, ReplyTimeoutMs).toHex(' '), QByteArray("02 41 0a 42 03"));
    QCOMPARE(sim.stop(), 0);
    const QStringList lines = QString::fromLatin1(readFile(logPath)).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(QRegularExpression("^\\d+\\.\\d{6} in  49$").match(lines.at(0)).hasMatch(), qPrintable(lines.at(0)));
    QVERIFY2(QRegularExpression("^\\d+\\.\\d{6} out 02 41 0A 42 03$").match(lines.at(1)).hasMatch(),
             qPrintable(lines.at(1)));
}

void TestDevSim::download_sendsFramesByteExact_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArrayList>("programSends");
    QTest::addColumn<QByteArrayList>("deviceSends");
    const QByteArray start = hex("52 15"); // 'R', NAK
    const QByteArray ack = hex("06"), nak = hex("15");

    // The eight-byte image of a format with one dword 0x12345678, 0xFF-filled.
    QTest::newRow("one short block, 0xFF fill")
        << hex("04 00 78 56 34 12 6F E2") << QByteArrayList{start, ack, ack}
        << QByteArrayList{hex("01 01 FE 04 00 78 56 34 12 6F E2") + QByteArray(120, char(0xFF)) + hex("F1"),
                          hex("04"), QByteArray()};
    QTest::newRow("two full blocks") << twoBlockImage() << QByteArrayList{start, ack, ack, ack}
                                     << QByteArrayList{Frame1, Frame2, hex("04"), QByteArray()};
    QTest::newRow("129 bytes: second block one byte and 127 fill")
        << QByteArray(129, char(0x11)) << QByteArrayList{start, ack, ack, ack}
        << QByteArrayList{Frame1, hex("01 02 FD 11") + QByteArray(127, char(0xFF)) + hex("92"), hex("04"),
                          QByteArray()};
    QTest::newRow("empty image: EOT first") << QByteArray() << QByteArrayList{start, ack}
                                            << QByteArrayList{hex("04"), QByteArray()};
    QTest::newRow("refused block is sent again")
        << twoBlockImage() << QByteArrayList{start, nak, ack, ack, ack}
        << QByteArrayList{Frame1, Frame1, Frame2, hex("04"), QByteArray()};
    QTest::newRow("refused EOT is sent again")
        << QByteArray(128, char(0x11)) << QByteArrayList{start, ack, nak, ack}
        << QByteArrayList{Frame1, hex("04"), hex("04"), QByteArray()};
}

void TestDevSim::download_sendsFramesByteExact()
{
    QFETCH(QByteArray, image);
    QFETCH(QByteArrayList, programSends);
    QFETCH(QByteArrayList, deviceSends);
    if (image.isEmpty())
        QFile::remove(imagePath); // a device without a stored image
    else
        QVERIFY(writeFile(imagePath, image));
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base()));
    for (int i = 0; i < programSends.size(); ++i) {
        QVERIFY(peer.write(programSends.at(i)));
        const QByteArray &expected = deviceSends.at(i);
        const QByteArray got = expected.isEmpty() ? peer.readFor(QuietMs)
                                                  : peer.read(expected.size(), ReplyTimeoutMs);
        QCOMPARE(got.toHex(' '), expected.toHex(' '));
    }
    // Back at the command level afterwards.
    QVERIFY(peer.write("I"));
    QCOMPARE(peer.read(DefaultIdReply.size(), ReplyTimeoutMs).toHex(' '), DefaultIdReply.toHex(' '));
}

void TestDevSim::download_extraBlock_sends129Frames()
{
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base({"--fault", "extra-block"})));
    QVERIFY(peer.write(hex("52 15")));
    for (int k = 1; k <= 129; ++k) {
        const QByteArray frame = peer.read(132, ReplyTimeoutMs);
        QCOMPARE(frame.size(), 132);
        QCOMPARE(int(uchar(frame.at(1))), k & 0xFF);
        QCOMPARE(int(uchar(frame.at(2))), 255 - (k & 0xFF));
        if (k >= 3) // past the stored image: all fill, sum 128 * 0xFF
            QCOMPARE(frame.mid(3).toHex(), (QByteArray(128, char(0xFF)) + hex("80")).toHex());
        QVERIFY(peer.write(hex("06")));
    }
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("04"));
}

void TestDevSim::upload_storesImageByteExact_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("stored");
    // Header 196: the image is 200 bytes; the 56 fill bytes after it are dropped.
    QByteArray image200 = hex("C4 00");
    for (int i = 0; i < 198; ++i)
        image200.append(char(i));
    QTest::newRow("image trimmed to its header") << image200 << image200;
    const QByteArray exact = hex("7C 00") + QByteArray(126, char(0x5A)); // 124 + 4 = 128
    QTest::newRow("image filling its blocks exactly") << exact << exact;
    const QByteArray tooShort = hex("E8 03") + QByteArray(100, char(0x33)); // claims 1004 bytes
    QTest::newRow("header larger than the data: all received bytes")
        << tooShort << tooShort + QByteArray(26, char(0xFF));
    QTest::newRow("one byte: the whole block") << hex("AB") << hex("AB") + QByteArray(127, char(0xFF));
    QTest::newRow("EOT at once: empty image") << QByteArray() << QByteArray();
}

void TestDevSim::upload_storesImageByteExact()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, stored);
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base()));
    QVERIFY(peer.write("W"));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("15"));
    int number = 1;
    for (int offset = 0; offset < sent.size(); offset += 128, ++number) {
        QVERIFY(peer.write(programFrame(number, sent.mid(offset, 128))));
        QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    }
    QVERIFY(peer.write(hex("04")));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    QCOMPARE(readFile(imagePath).toHex(' '), stored.toHex(' '));
    // The new image is what the next download serves.
    QVERIFY(peer.write(hex("52 15")));
    if (stored.isEmpty())
        QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("04"));
    else
        QCOMPARE(peer.read(132, ReplyTimeoutMs).mid(3, qMin<int>(128, stored.size())).toHex(' '),
                 stored.left(128).toHex(' '));
}

void TestDevSim::upload_refused_keepsStoredImage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("afterFirstBlock"); // what the program sends next
    QTest::addColumn<QByteArray>("reply");
    const QByteArray frame2 = programFrame(2, QByteArray(128, char(0x44)));
    QTest::newRow("program cancels") << QStringList() << hex("18") << QByteArray();
    QTest::newRow("program starts another command") << QStringList() << QByteArray("I") << DefaultIdReply;
    QTest::newRow("block out of sequence") << QStringList() << programFrame(3, QByteArray(128, 0)) << hex("18");
    QTest::newRow("beyond the image capacity")
        << QStringList{"--image-capacity", "256"} << frame2 + programFrame(3, QByteArray(128, 0)) << hex("06 18");
    QTest::newRow("can-block:2") << QStringList{"--fault", "can-block:2"} << frame2 << hex("18");
}

void TestDevSim::upload_refused_keepsStoredImage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, afterFirstBlock);
    QFETCH(QByteArray, reply);
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base(arguments)));
    QVERIFY(peer.write("W"));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("15"));
    QVERIFY(peer.write(programFrame(1, hex("10 00") + QByteArray(126, char(0x77)))));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    QVERIFY(peer.write(afterFirstBlock));
    QCOMPARE(peer.read(reply.size(), ReplyTimeoutMs).toHex(' '), reply.toHex(' '));
    QCOMPARE(peer.readFor(QuietMs).toHex(' '), QByteArray());
    // Only a transfer that ends with EOT replaces the stored image.
    QCOMPARE(readFile(imagePath).toHex(' '), twoBlockImage().toHex(' '));
}

void TestDevSim::upload_largerThanCapacity_refusedAtEot()
{
    // Room for 200 bytes: both blocks start inside it, but the image they
    // carry (header 252: 256 bytes) would not fit, so nothing is stored.
    const QByteArray stored = hex("04 00 78 56 34 12 6F E2");
    QVERIFY(writeFile(imagePath, stored));
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base({"--image-capacity", "200"})));
    QVERIFY(peer.write("W"));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("15"));
    QVERIFY(peer.write(programFrame(1, hex("FC 00") + QByteArray(126, char(0x66)))));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    QVERIFY(peer.write(programFrame(2, QByteArray(128, char(0x67)))));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    QVERIFY(peer.write(hex("04")));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("18"));
    QCOMPARE(readFile(imagePath).toHex(' '), stored.toHex(' '));
}

void TestDevSim::firmware_storesPayloadAsReceived()
{
    const QString firmwarePath = dir.filePath("firmware.out");
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base({"--firmware", firmwarePath})));
    // 130 payload bytes; the sender's padding (0x1A here) is kept as it came.
    QByteArray payload;
    for (int i = 0; i < 130; ++i)
        payload.append(char(i * 7));
    QVERIFY(peer.write("P"));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("15"));
    QVERIFY(peer.write(programFrame(1, payload.left(128))));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    QVERIFY(peer.write(programFrame(2, payload.mid(128), char(0x1A))));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    QVERIFY(peer.write(hex("04")));
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("06"));
    QCOMPARE(readFile(firmwarePath).toHex(' '), (payload + QByteArray(126, char(0x1A))).toHex(' '));
    QCOMPARE(readFile(imagePath).toHex(' '), twoBlockImage().toHex(' '));
}

void TestDevSim::faults_exchangeExactBytes_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArrayList>("programSends");
    QTest::addColumn<QByteArrayList>("deviceSends");
    QTest::addColumn<int>("quietMs");
    const QByteArray start = hex("52 15"), ack = hex("06"), nak = hex("15");
    QTest::newRow("silence: no download either") << QStringList{"silence"} << QByteArrayList{start}
                                                 << QByteArrayList{QByteArray()} << QuietMs;
    QTest::newRow("eot-first") << QStringList{"eot-first"} << QByteArrayList{start} << QByteArrayList{hex("04")}
                               << QuietMs;
    QTest::newRow("can-block:2 as sender")
        << QStringList{"can-block:2"} << QByteArrayList{start, ack} << QByteArrayList{Frame1, hex("18")} << QuietMs;
    QTest::newRow("repeat-block:2: block 1 again")
        << QStringList{"repeat-block:2"} << QByteArrayList{start, ack} << QByteArrayList{Frame1, Frame1} << QuietMs;
    QTest::newRow("wrong-number:2: block 2 numbered 3")
        << QStringList{"wrong-number:2"} << QByteArrayList{start, ack}
        << QByteArrayList{Frame1, hex("01 03 FC") + QByteArray(128, char(0x22)) + hex("00")} << QuietMs;
    QTest::newRow("bad-checksum:1: sum off by one, intact when refused")
        << QStringList{"bad-checksum:1"} << QByteArrayList{start, nak, ack}
        << QByteArrayList{Frame1.left(131) + hex("81"), Frame1, Frame2} << QuietMs;
    QTest::newRow("truncate-block:2: 64 bytes, then nothing, not even after NAK")
        << QStringList{"truncate-block:2"} << QByteArrayList{start, ack, nak}
        << QByteArrayList{Frame1, Frame2.left(64), QByteArray()} << QuietMs;
    QTest::newRow("nak-block:1 as receiver")
        << QStringList{"nak-block:1"} << QByteArrayList{"W", programFrame(1, "x")}
        << QByteArrayList{nak, nak} << QuietMs;
    QTest::newRow("can-block:1 as receiver")
        << QStringList{"can-block:1"} << QByteArrayList{"W", programFrame(1, "x")}
        << QByteArrayList{nak, hex("18")} << QuietMs;
    // Longer than the receiver's one-second NAK repeat: not even a repeat comes.
    QTest::newRow("no-start-nak") << QStringList{"no-start-nak"} << QByteArrayList{"P"}
                                  << QByteArrayList{QByteArray()} << 1500;
    QTest::newRow("receiver repeats NAK while waiting")
        << QStringList() << QByteArrayList{"W", QByteArray()} << QByteArrayList{nak, nak} << 0;
    QTest::newRow("two faults at once")
        << QStringList{"bad-checksum:1", "can-block:2"} << QByteArrayList{start, nak, ack}
        << QByteArrayList{Frame1.left(131) + hex("81"), Frame1, hex("18")} << QuietMs;
}

void TestDevSim::faults_exchangeExactBytes()
{
    QFETCH(QStringList, faults);
    QFETCH(QByteArrayList, programSends);
    QFETCH(QByteArrayList, deviceSends);
    QFETCH(int, quietMs);
    QStringList arguments = base();
    for (const QString &f : faults)
        arguments << "--fault" << f;
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, arguments));
    for (int i = 0; i < programSends.size(); ++i) {
        QVERIFY(peer.write(programSends.at(i)));
        const QByteArray &expected = deviceSends.at(i);
        const QByteArray got = expected.isEmpty() ? peer.readFor(quietMs)
                                                  : peer.read(expected.size(), ReplyTimeoutMs);
        QCOMPARE(got.toHex(' '), expected.toHex(' '));
    }
    if (quietMs > 0)
        QCOMPARE(peer.readFor(quietMs).toHex(' '), QByteArray());
    QCOMPARE(sim.stop(), 0);
}

void TestDevSim::delays_holdReplyBack_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArrayList>("before"); // exchanged without timing: sent, then awaited
    QTest::addColumn<QByteArrayList>("beforeReplies");
    QTest::addColumn<QByteArray>("trigger");
    QTest::addColumn<int>("delayMs");
    const QByteArray frame1 = programFrame(1, "x");
    QTest::newRow("delay-id") << "delay-id:400" << QByteArrayList() << QByteArrayList() << QByteArray("I") << 400;
    QTest::newRow("delay-first-block")
        << "delay-first-block:400" << QByteArrayList() << QByteArrayList() << hex("52 15") << 400;
    QTest::newRow("delay-block:2") << "delay-block:2:400" << QByteArrayList{hex("52 15")}
                                   << QByteArrayList{Frame1} << hex("06") << 400;
    QTest::newRow("delay-start-nak") << "delay-start-nak:400" << QByteArrayList() << QByteArrayList()
                                     << QByteArray("W") << 400;
    QTest::newRow("delay-ack:1") << "delay-ack:1:400" << QByteArrayList{"W"} << QByteArrayList{hex("15")}
                                 << frame1 << 400;
}

void TestDevSim::delays_holdReplyBack()
{
    QFETCH(QString, fault);
    QFETCH(QByteArrayList, before);
    QFETCH(QByteArrayList, beforeReplies);
    QFETCH(QByteArray, trigger);
    QFETCH(int, delayMs);
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base({"--fault", fault})));
    for (int i = 0; i < before.size(); ++i) {
        QVERIFY(peer.write(before.at(i)));
        QCOMPARE(peer.read(beforeReplies.at(i).size(), ReplyTimeoutMs).toHex(' '),
                 beforeReplies.at(i).toHex(' '));
    }
    QElapsedTimer timer;
    timer.start();
    QVERIFY(peer.write(trigger));
    QCOMPARE(peer.read(1, delayMs + ReplyTimeoutMs).size(), 1);
    const qint64 elapsed = timer.elapsed();
    // The promise is "not before"; the upper bound only catches a delay that
    // was not applied as given (e.g. doubled), never the machine's speed.
    QVERIFY2(elapsed >= delayMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < 2 * delayMs, qPrintable(QString::number(elapsed)));
}

void TestDevSim::badFaultOption_isUsageError_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown mode") << QStringList{"--fault", "explode"};
    QTest::newRow("block missing") << QStringList{"--fault", "nak-block"};
    QTest::newRow("block not a number") << QStringList{"--fault", "nak-block:x"};
    QTest::newRow("block 0") << QStringList{"--fault", "can-block:0"};
    QTest::newRow("repeat of block 1") << QStringList{"--fault", "repeat-block:1"};
    QTest::newRow("delay missing") << QStringList{"--fault", "delay-ack:2"};
    QTest::newRow("negative delay") << QStringList{"--fault", "delay-id:-5"};
    QTest::newRow("parameter on a plain mode") << QStringList{"--fault", "silence:1"};
    QTest::newRow("stray argument") << QStringList{"extra"};
    QTest::newRow("bad capacity") << QStringList{"--image-capacity", "-1"};
}

void TestDevSim::badFaultOption_isUsageError()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QString::fromLocal8Bit(qgetenv("VANT_DEVSIM")), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 64);
    QVERIFY(process.readAllStandardOutput().isEmpty()); // no port was offered
    QVERIFY(process.readAllStandardError().startsWith("vant-devsim: "));
}

void TestDevSim::hangUpBetweenCommands_keepsServing()
{
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base()));
    for (int round = 0; round < 3; ++round) {
        QVERIFY(peer.write("I"));
        QCOMPARE(peer.read(DefaultIdReply.size(), ReplyTimeoutMs).toHex(' '), DefaultIdReply.toHex(' '));
        peer.close();
        QVERIFY(peer.open(sim.port));
    }
    // A download abandoned half-way, then the port closed: the next command still works.
    QVERIFY(peer.write(hex("52 15")));
    QCOMPARE(peer.read(132, ReplyTimeoutMs).size(), 132);
    peer.close();
    QVERIFY(peer.open(sim.port));
    QVERIFY(peer.write("I"));
    QCOMPARE(peer.read(DefaultIdReply.size(), ReplyTimeoutMs).toHex(' '), DefaultIdReply.toHex(' '));
    QCOMPARE(sim.process.state(), QProcess::Running);
    QCOMPARE(sim.stop(), 0);
}

void TestDevSim::registry_entryLivesWithProcess()
{
    const QString registry = dir.filePath("runtime/ports"); // neither folder exists yet
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VANT_PORT_REGISTRY", registry);
    SimProcess sim;
    QVERIFY(!sim.start(base({"--register"}), env).isEmpty());
    const QString entry = registry + QStringLiteral("/%1.port").arg(sim.process.processId());
    QCOMPARE(QDir(registry).entryList(QDir::Files), QStringList{QFileInfo(entry).fileName()});
    QCOMPARE(readFile(entry), sim.port.toLocal8Bit() + " VANT USB Serial (simulator)\n");
    QVERIFY(sim.port.startsWith("/dev/pts/"));
    struct stat st;
    QCOMPARE(stat(QFile::encodeName(registry).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0700);
    QCOMPARE(sim.stop(), 0);
    QVERIFY(!QFile::exists(entry));
}

void TestDevSim::link_replacesStaleLinkAndIsRemoved()
{
    const QString link = dir.filePath("ttyVANT0");
    QVERIFY(QFile::link("/dev/pts/no-such-port", link)); // left by a simulator that died
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VANT_PORT_REGISTRY", dir.filePath("ports"));
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(!sim.start(base({"--link", link, "--register"}), env).isEmpty());
    QCOMPARE(sim.port, link);
    const QString target = QFileInfo(link).symLinkTarget();
    QVERIFY2(target.startsWith("/dev/pts/") && QFile::exists(target), qPrintable(target));
    QCOMPARE(readFile(dir.filePath("ports") + QStringLiteral("/%1.port").arg(sim.process.processId())),
             link.toLocal8Bit() + " VANT USB Serial (simulator)\n");
    QVERIFY(peer.open(link));
    QVERIFY(peer.write("I"));
    QCOMPARE(peer.read(DefaultIdReply.size(), ReplyTimeoutMs).toHex(' '), DefaultIdReply.toHex(' '));
    QCOMPARE(sim.stop(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QDir(dir.filePath("ports")).entryList(QDir::Files).isEmpty());
}

void TestDevSim::link_refusesToReplaceFile()
{
    const QString path = dir.filePath("precious.txt");
    QVERIFY(writeFile(path, "keep me"));
    QProcess process;
    process.start(QString::fromLocal8Bit(qgetenv("VANT_DEVSIM")), base({"--link", path}));
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QCOMPARE(readFile(path), QByteArray("keep me"));
}

void TestDevSim::unplugAfter_portVanishes()
{
    const QString link = dir.filePath("ttyVANT1");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VANT_PORT_REGISTRY", dir.filePath("unplug-ports"));
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(!sim.start(base({"--link", link, "--register", "--fault", "unplug-after:1"}), env).isEmpty());
    QVERIFY(peer.open(link));
    QVERIFY(peer.write(hex("52 15")));
    QCOMPARE(peer.read(132, ReplyTimeoutMs).toHex(' '), Frame1.toHex(' '));
    QVERIFY(peer.write(hex("06")));
    QVERIFY(sim.process.waitForFinished(ReplyTimeoutMs));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QCOMPARE(peer.readFor(QuietMs).toHex(' '), QByteArray());
    QVERIFY(peer.hungUp);
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QDir(dir.filePath("unplug-ports")).entryList(QDir::Files).isEmpty());
}

void TestDevSim::lrzszReceiver_getsDownload()
{
    // lrzsz's XMODEM receiver as the program: an independent check of the sender.
    const QString out = dir.filePath("rx-out.bin");
    QByteArray image;
    for (int i = 0; i < 300; ++i)
        image.append(char(i * 13));
    QVERIFY(writeFile(imagePath, image));
    SimProcess sim;
    PtyPeer peer;
    // rx drops what arrives in the first moments after its start NAK (it is
    // still setting its line up), so this device answers a little later.
    QVERIFY(startWith(sim, peer, base({"--fault", "delay-first-block:100"})));
    QVERIFY(peer.write("R"));
    QProcess rx;
    rx.setWorkingDirectory(dir.path());
    // rx only writes into its working folder.
    rx.start("sh", {"-c", "exec rx -X -q \"$1\" <\"$2\" >\"$2\"", "sh", QFileInfo(out).fileName(), sim.port});
    QVERIFY(rx.waitForFinished(20000));
    QCOMPARE(rx.exitCode(), 0);
    QCOMPARE(readFile(out).toHex(' '), (image + QByteArray(84, char(0xFF))).toHex(' '));
}

void TestDevSim::lrzszSender_uploadIsStored()
{
    // lrzsz's XMODEM sender as the program; it fills the last block with 0x1A,
    // which the image header tells the device to drop.
    const QString in = dir.filePath("sx-in.bin");
    QByteArray image = hex("2C 01");
    for (int i = 0; i < 302; ++i)
        image.append(char(i * 3));
    QVERIFY(writeFile(in, image));
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(startWith(sim, peer, base()));
    // The device's start NAK waits in the port for sx to read it.
    QVERIFY(peer.write("W"));
    QProcess sx;
    sx.start("sh", {"-c", "exec sx -X -q \"$1\" <\"$2\" >\"$2\"", "sh", in, sim.port});
    QVERIFY(sx.waitForFinished(20000));
    QCOMPARE(sx.exitCode(), 0);
    QCOMPARE(readFile(imagePath).toHex(' '), image.toHex(' '));
}

void TestDevSim::pacing_downloadTakesWireTime()
{
    // 16 blocks at 115200 baud 8N1: each frame of 132 bytes and its ACK take
    // 133 * 10 bits on the line.
    QVERIFY(writeFile(imagePath, QByteArray(16 * 128, char(0x5C))));
    SimProcess sim;
    PtyPeer peer;
    QVERIFY(!sim.start({"--image", imagePath}).isEmpty() && peer.open(sim.port));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(peer.write(hex("52 15")));
    for (int k = 1; k <= 16; ++k) {
        QCOMPARE(peer.read(132, ReplyTimeoutMs).size(), 132);
        QVERIFY(peer.write(hex("06")));
    }
    QCOMPARE(peer.read(1, ReplyTimeoutMs).toHex(), QByteArray("04"));
    const double wireSeconds = (2 + 16 * 133 + 1) * 10 / 115200.0;
    const double seconds = timer.nsecsElapsed() / 1e9;
    QVERIFY2(seconds >= 0.9 * wireSeconds,
             qPrintable(QStringLiteral("%1 s, wire time %2 s").arg(seconds).arg(wireSeconds)));
}

QTEST_GUILESS_MAIN(TestDevSim)
#include "tst_devsim.moc"
