// The serial link over real pseudo-terminals: opening, line settings, reads with time-outs,
// a vanishing far end, the deadline, two links at once, and the port list with its registry.
#include "device/portlist.h"
#include "device/seriallink.h"
#include "format/diag.h"
#include "tests/support/ptypeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

class TestSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    void open_missingPort_printsErrnoAndFails_data();
    void open_missingPort_printsErrnoAndFails();
    void open_symlinkToDevice_opens();
    void open_portHeld_isExclusive();

    void setup_baudTable_setsLineSpeed_data();
    void setup_baudTable_setsLineSpeed();

    void read_byteWaiting_returnsAtOnce();
    void read_nothingArrives_returnsZeroAfterTimeout();
    void read_zeroTimeout_collectsPendingBytes();
    void writeAll_reachesFarEnd();
    void close_lastByteWaitingOrFarEndGone_drainsPromptly_data();
    void close_lastByteWaitingOrFarEndGone_drainsPromptly();

    void farEndVanishes_readAndWriteEndAtOnce();
    void reopen_afterFailure_clearsFailedState();

    void deadline_countsDown();
    void twoLinks_keepTheirOwnFailureAndDeadline();

    void list_registryEntries_aliveAndPresentOnly();
    void list_capsAtThirtyOneEntries();
    void list_registryNotTheUsersAlone_isIgnored_data();
    void list_registryNotTheUsersAlone_isIgnored();

private:
    QByteArray capturedErr;
    SerialLink link;
};

void TestSerialPort::cleanup()
{
    link.close();
    setDiagSink({});
    qunsetenv("VANT_PORT_REGISTRY");
}

void TestSerialPort::open_missingPort_printsErrnoAndFails_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("line");
    // A Windows-style name has no device here: ENOENT, the same code Windows reports.
    QTest::newRow("windows port name") << QByteArray("COM1") << QByteArray("COM Error 2\n");
    QTest::newRow("lower-case keyword") << QByteArray("auto") << QByteArray("COM Error 2\n");
    QTest::newRow("missing absolute path") << QByteArray("/nonexistent/ttyX") << QByteArray("COM Error 2\n");
    // A regular file opens, but is no terminal: ENOTTY.
    QTest::newRow("not a terminal") << QByteArray("/etc/hostname") << QByteArray("COM Error 25\n");
}

void TestSerialPort::open_missingPort_printsErrnoAndFails()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, line);
    QByteArray err;
    setDiagSink([&](DiagStream s, const QByteArray &text) {
        if (s == DiagStream::Err)
            err += text;
    });
    QVERIFY(!link.open(QString::fromLocal8Bit(name)));
    QCOMPARE(err, line);
    uchar byte;
    QCOMPARE(link.read(&byte, 1, 0), 0);
}

void TestSerialPort::open_symlinkToDevice_opens()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QTemporaryDir dir;
    const QString symlink = dir.filePath(QStringLiteral("ttyVANT0"));
    QVERIFY(QFile::link(peer.slavePath, symlink));
    QVERIFY(link.open(symlink));
    const uchar out[] = {0x49};
    QCOMPARE(link.writeAll(out, 1), 1);
    QCOMPARE(peer.read(1, 1000).toHex(' '), QByteArray("49"));
}

void TestSerialPort::open_portHeld_isExclusive()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    QSerialPort other(peer.slavePath);
    QVERIFY(!other.open(QIODevice::ReadWrite));
    link.close();
    QVERIFY(other.open(QIODevice::ReadWrite));
    other.close();
}

void TestSerialPort::setup_baudTable_setsLineSpeed_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("speed");
    QTest::newRow("115200 kept") << 115200 << int(B115200);
    QTest::newRow("57600 kept") << 57600 << int(B57600);
    QTest::newRow("2400 kept") << 2400 << int(B2400);
    QTest::newRow("300 falls to 1200") << 300 << int(B1200);
    QTest::newRow("230400 falls to 1200") << 230400 << int(B1200);
    QTest::newRow("zero falls to 1200") << 0 << int(B1200);
}

void TestSerialPort::setup_baudTable_setsLineSpeed()
{
    QFETCH(int, requested);
    QFETCH(int, speed);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    link.setup(requested, 8, 0, 1, false);
    // Read the line settings back through a descriptor of our own on the same terminal.
    const int fd = ::open(QFile::encodeName(peer.slavePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios t;
    QCOMPARE(::tcgetattr(fd, &t), 0);
    ::close(fd);
    QCOMPARE(int(cfgetospeed(&t)), speed);
    QCOMPARE(int(t.c_cflag & CSIZE), int(CS8));
    QCOMPARE(int(t.c_cflag & (PARENB | CSTOPB | CRTSCTS)), 0);
    QCOMPARE(int(t.c_iflag & (IXON | IXOFF)), 0);
}

void TestSerialPort::read_byteWaiting_returnsAtOnce()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    link.setup(115200, 8, 0, 1, false);
    QVERIFY(peer.write(QByteArray::fromHex("15")));
    QThread::msleep(20);
    uchar byte = 0;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(link.read(&byte, 1, 100), 1);
    QVERIFY2(timer.elapsed() < 50, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(int(byte), 0x15);
}

void TestSerialPort::read_nothingArrives_returnsZeroAfterTimeout()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    uchar byte;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(link.read(&byte, 1, 100), 0);
    QVERIFY2(timer.elapsed() >= 95, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!link.failed());
}

void TestSerialPort::read_zeroTimeout_collectsPendingBytes()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    uchar buffer[16];
    QCOMPARE(link.read(buffer, 16, 0), 0);
    QVERIFY(peer.write(QByteArray::fromHex("0102030405")));
    QThread::msleep(20);
    QByteArray got;
    int n;
    while ((n = link.read(buffer, 2, 0)) > 0)
        got.append(reinterpret_cast<char *>(buffer), n);
    QCOMPARE(got.toHex(' '), QByteArray("01 02 03 04 05"));
}

void TestSerialPort::writeAll_reachesFarEnd()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    link.setup(115200, 8, 0, 1, false);
    QByteArray data(4000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    QCOMPARE(link.writeAll(reinterpret_cast<const uchar *>(data.constData()), int(data.size())),
             int(data.size()));
    QCOMPARE(peer.read(int(data.size()), 2000), data);
}

void TestSerialPort::close_lastByteWaitingOrFarEndGone_drainsPromptly_data()
{
    QTest::addColumn<bool>("farEndGone");
    QTest::newRow("EOT still unread reaches the far end") << false;
    QTest::newRow("far end gone: the drain gives up at once") << true;
}

void TestSerialPort::close_lastByteWaitingOrFarEndGone_drainsPromptly()
{
    QFETCH(bool, farEndGone);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    link.setup(115200, 8, 0, 1, false);
    const uchar eot = 0x04;
    if (farEndGone) {
        peer.hangUp();
        link.writeAll(&eot, 1);
    } else {
        QCOMPARE(link.writeAll(&eot, 1), 1);
    }
    QElapsedTimer timer;
    timer.start();
    link.close();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!link.isOpen());
    if (!farEndGone)
        QCOMPARE(peer.read(1, 1000).toHex(' '), QByteArray("04"));
}

void TestSerialPort::farEndVanishes_readAndWriteEndAtOnce()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QVERIFY(link.open(peer.slavePath));
    link.setup(115200, 8, 0, 1, false);
    peer.hangUp();
    uchar byte;
    QCOMPARE(link.read(&byte, 1, 1000), 0);
    QVERIFY(link.failed());
    // Once failed, a long wait does not wait at all.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100; ++i)
        QCOMPARE(link.read(&byte, 1, 1000), 0);
    QCOMPARE(link.writeAll(&byte, 1), 0);
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
}

void TestSerialPort::reopen_afterFailure_clearsFailedState()
{
    {
        PtyPeer gone;
        QVERIFY(link.open(gone.slavePath));
        gone.hangUp();
        uchar byte;
        link.read(&byte, 1, 200);
        QVERIFY(link.failed());
        link.close();
    }
    PtyPeer peer;
    QVERIFY(link.open(peer.slavePath));
    QVERIFY(!link.failed());
    QVERIFY(peer.write(QByteArray::fromHex("06")));
    uchar byte = 0;
    QCOMPARE(link.read(&byte, 1, 1000), 1);
    QCOMPARE(int(byte), 0x06);
}

void TestSerialPort::deadline_countsDown()
{
    // The deadline runs on the 64-bit monotonic clock, so the wrap of a 32-bit millisecond
    // count that an earlier clock had to survive cannot happen inside a wait any more.
    link.deadlineSet(300);
    const qint64 left = link.deadlineLeft();
    QVERIFY2(left > 250 && left <= 300, qPrintable(QString::number(left)));
    QThread::msleep(150);
    QVERIFY(link.deadlineLeft() > 0);
    QVERIFY(link.deadlineLeft() < 200);
    QThread::msleep(200);
    QCOMPARE(link.deadlineLeft(), qint64(0));
}

void TestSerialPort::twoLinks_keepTheirOwnFailureAndDeadline()
{
    // What one link goes through leaves the other untouched: its port, its failure and its wait.
    PtyPeer firstPeer, secondPeer;
    QVERIFY(firstPeer.isValid() && secondPeer.isValid());
    SerialLink second;
    QVERIFY(link.open(firstPeer.slavePath));
    QVERIFY(second.open(secondPeer.slavePath));
    link.deadlineSet(0);
    second.deadlineSet(5000);

    firstPeer.hangUp();
    uchar byte = 0;
    QCOMPARE(link.read(&byte, 1, 1000), 0);
    QVERIFY(link.failed());
    QVERIFY(!second.failed());
    QCOMPARE(link.deadlineLeft(), qint64(0));
    QVERIFY(second.deadlineLeft() > 4000);

    QVERIFY(secondPeer.write(QByteArray::fromHex("06")));
    QCOMPARE(second.read(&byte, 1, 1000), 1);
    QCOMPARE(int(byte), 0x06);
    const uchar out[] = {0x15};
    QCOMPARE(second.writeAll(out, 1), 1);
    QCOMPARE(secondPeer.read(1, 1000).toHex(' '), QByteArray("15"));
}

void TestSerialPort::list_registryEntries_aliveAndPresentOnly()
{
    PtyPeer first, second;
    QVERIFY(first.isValid() && second.isValid());
    QTemporaryDir registry;
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));

    const auto writeEntry = [&](qint64 pid, const QString &line) {
        QFile f(registry.filePath(QString::number(pid) + QLatin1String(".port")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(line.toLocal8Bit() + "\n");
    };
    // A process that has ended: its entry is stale.
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    QVERIFY(ended.waitForFinished());
    writeEntry(ended.processId(), first.slavePath + QLatin1String(" VANT USB Serial (stale)"));
    // A live process whose port path is gone.
    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(sleeper.waitForStarted());
    writeEntry(sleeper.processId(), QStringLiteral("/nonexistent/tty VANT USB Serial (gone)"));
    writeEntry(QCoreApplication::applicationPid(),
               second.slavePath + QLatin1String(" VANT USB Serial (simulator)"));

    QByteArray out;
    setDiagSink([&](DiagStream s, const QByteArray &text) {
        if (s == DiagStream::Out)
            out += text;
    });
    const QStringList ports = comListPorts();
    sleeper.kill();
    sleeper.waitForFinished();

    const QString expected = second.slavePath + QLatin1String(" VANT USB Serial (simulator)");
    QCOMPARE(ports.filter(QStringLiteral("VANT USB")), QStringList{expected});
    QCOMPARE(ports.last(), expected);
    const QByteArray line = "Dev " + QByteArray::number(ports.size()) + " name 'VANT USB Serial (simulator) ("
                            + second.slavePath.toLocal8Bit() + ")'\n";
    QVERIFY2(out.endsWith(line), out.constData());
}

void TestSerialPort::list_capsAtThirtyOneEntries()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    QTemporaryDir registry;
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
    std::vector<std::unique_ptr<QProcess>> sleepers;
    for (int i = 0; i < 35; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(p->waitForStarted());
        QFile f(registry.filePath(QString::number(p->processId()) + QLatin1String(".port")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(peer.slavePath.toLocal8Bit() + " VANT USB Serial " + QByteArray::number(i) + "\n");
        sleepers.push_back(std::move(p));
    }
    setDiagSink([](DiagStream, const QByteArray &) {});
    const QStringList ports = comListPorts();
    for (auto &p : sleepers) {
        p->kill();
        p->waitForFinished();
    }
    QCOMPARE(ports.size(), ComListMax);
}

void TestSerialPort::list_registryNotTheUsersAlone_isIgnored_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("folderOwnedByNobody");
    QTest::addColumn<bool>("entryOwnedByNobody");
    QTest::addColumn<bool>("listed");
    QTest::newRow("own folder 0700, own entry: listed") << 0700 << false << false << true;
    QTest::newRow("folder open to the group: ignored") << 0770 << false << false << false;
    QTest::newRow("folder readable by others: ignored") << 0705 << false << false << false;
    QTest::newRow("folder of another user: ignored") << 0700 << true << false << false;
    QTest::newRow("entry of another user: ignored") << 0700 << false << true << false;
}

void TestSerialPort::list_registryNotTheUsersAlone_isIgnored()
{
    QFETCH(int, folderMode);
    QFETCH(bool, folderOwnedByNobody);
    QFETCH(bool, entryOwnedByNobody);
    QFETCH(bool, listed);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    const passwd *nobody = ::getpwnam("nobody");
    QVERIFY(nobody);
    QTemporaryDir parent;
    const QByteArray registry = QFile::encodeName(parent.filePath(QStringLiteral("ports")));
    qputenv("VANT_PORT_REGISTRY", registry);
    QCOMPARE(::mkdir(registry.constData(), 0700), 0);
    const QByteArray entry = registry + '/' + QByteArray::number(QCoreApplication::applicationPid()) + ".port";
    {
        QFile f(QFile::decodeName(entry));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(peer.slavePath.toLocal8Bit() + " VANT USB Serial (planted)\n");
    }
    if (entryOwnedByNobody)
        QCOMPARE(::chown(entry.constData(), nobody->pw_uid, nobody->pw_gid), 0);
    if (folderOwnedByNobody)
        QCOMPARE(::chown(registry.constData(), nobody->pw_uid, nobody->pw_gid), 0);
    QCOMPARE(::chmod(registry.constData(), mode_t(folderMode)), 0);

    setDiagSink([](DiagStream, const QByteArray &) {});
    const QStringList planted = comListPorts().filter(QStringLiteral("VANT USB"));
    QCOMPARE(planted.size(), listed ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
