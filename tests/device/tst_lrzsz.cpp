// Interoperability with an independent XMODEM implementation: lrzsz's sx as the sending
// device of a download, rx as the receiving device of an upload. A small shell shim in front
// of them answers the identification and takes the command letter, then hands the line over.
#include "device/device.h"
#include "tests/support/ptypeer.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

// $1: the XMODEM peer's command line. The identification is answered once the
// 'I' has come; the next byte is the command letter, after which the peer owns the line (the
// program's start NAK of a download is still waiting for sx).
const char Shim[] =
    "dd bs=1 count=1 of=/dev/null 2>/dev/null\n"
    "printf '\\002VANT-HW-1\\nVANT-DEMO-1\\003'\n"
    "dd bs=1 count=1 of=/dev/null 2>/dev/null\n"
    "eval \"exec $1\"\n";

// rx flushes its terminal's input right after each ACK, which on a pseudo-terminal without
// line delay throws away the start of the next block the program has already sent. Behind
// socat rx talks to a socket, where that flush does nothing, and the bytes stay as sent.
const char RxCommand[] = "socat STDIO EXEC:'rx -X -q received.bin'";
const char SxCommand[] = "sx -X -q image.bin";

QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 37 + i / 256) & 0xFF);
    return data;
}

// Starts the shim with the pseudo-terminal's master as its standard input and output.
void startShim(QProcess &shim, const PtyPeer &peer, const char *command, const QString &dir)
{
    const int fd = peer.masterFd();
    shim.setChildProcessModifier([fd] {
        ::dup2(fd, 0);
        ::dup2(fd, 1);
    });
    shim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shim.setWorkingDirectory(dir);
    shim.start(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromLatin1(Shim), QStringLiteral("shim"),
                                      QString::fromLatin1(command)});
}

} // namespace

class TestLrzsz : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void download_fromSx_arrivesByteExact_data();
    void download_fromSx_arrivesByteExact();
    void upload_toRx_arrivesByteExact_data();
    void upload_toRx_arrivesByteExact();
};

void TestLrzsz::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("sx")).isEmpty(), "lrzsz is not installed");
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("rx")).isEmpty());
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty(), "socat is not installed");
}

void TestLrzsz::download_fromSx_arrivesByteExact_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("one block") << 128;
    QTest::newRow("last block padded by sx") << 1000;
    QTest::newRow("full image, 128 blocks") << 16384;
}

void TestLrzsz::download_fromSx_arrivesByteExact()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    const QByteArray image = pattern(size);
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(image);
    }
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QProcess shim;
    startShim(shim, peer, SxCommand, dir.path());
    QVERIFY(shim.waitForStarted());

    Device device(peer.slavePath);
    device.startDownload();
    QVERIFY(device.wait(30000));
    QVERIFY(shim.waitForFinished(10000));
    QCOMPARE(shim.exitCode(), 0);
    QCOMPARE(device.result(), int(Ok));
    QCOMPARE(device.softwareId(), QStringLiteral("VANT-DEMO-1"));
    // sx fills its last block with 0x1A (CP/M end of file); the image keeps whole blocks.
    const int blocks = (size + 127) / 128;
    QCOMPARE(int(device.image().size()), blocks * 128);
    const QByteArray expected = image + QByteArray(blocks * 128 - size, char(0x1A));
    QCOMPARE(device.image(), expected);
}

void TestLrzsz::upload_toRx_arrivesByteExact_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("200 bytes, second block filled with FF") << 200;
    QTest::newRow("whole blocks") << 512;
    QTest::newRow("full image") << 16384;
}

void TestLrzsz::upload_toRx_arrivesByteExact()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("received.bin"));
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QProcess shim;
    startShim(shim, peer, RxCommand, dir.path());
    QVERIFY(shim.waitForStarted());

    const QByteArray image = pattern(size);
    Device device(peer.slavePath);
    device.setImage(image.left(size));
    device.startUpload(QStringLiteral("VANT-DEMO-1"));
    QVERIFY(device.wait(30000));
    QCOMPARE(device.result(), int(Ok));
    QVERIFY(shim.waitForFinished(10000));
    QCOMPARE(shim.exitCode(), 0);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    // rx keeps the whole last block, our 0xFF fill included.
    const int blocks = (size + 127) / 128;
    QCOMPARE(f.readAll(), image + QByteArray(blocks * 128 - size, char(0xFF)));
}

QTEST_GUILESS_MAIN(TestLrzsz)
#include "tst_lrzsz.moc"
