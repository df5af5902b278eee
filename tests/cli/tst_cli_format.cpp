// End to end: the real vant-conf-cli on real files.
#include "tests/support/clirun.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

using Run = CliRun;

// fileSizeLimit: when not 0, the largest file the tool may write; a longer write is cut
// short with an error, as on a full disk. asNobody: run with the rights of "nobody" when
// the test runs as root, who could otherwise write into any folder.
Run runTool(const QStringList &args, const QString &workDir = QString(), rlim_t fileSizeLimit = 0,
           bool asNobody = false)
{
    std::function<void()> setup;
    if (fileSizeLimit || asNobody) {
        setup = [fileSizeLimit, asNobody] {
            if (fileSizeLimit) {
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{};
                getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = fileSizeLimit;
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            // Without the switch the tool would run with root's rights: better to fail.
            if (asNobody && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
                _exit(125);
        };
    }
    return ::runCli(args, workDir, QProcessEnvironment::systemEnvironment(), setup);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const QString AllKinds = QStringLiteral(VANT_SOURCE_DIR "/tests/data/allkinds.xml");

// Values for allkinds.xml; table[2] = 200 does not fit the signed byte and comes back as -56.
const QByteArray Values = "<!DOCTYPE Configuration>\n<Configuration id=\"ALLKINDS-1\">\n"
                          "<Var name=\"address\" value=\"16820416\"/>\n"
                          "<Var name=\"crcSeed\" value=\"65535\"/>\n"
                          "<Var name=\"enabled\" value=\"1\"/>\n"
                          "<Var name=\"gain\" value=\"1.5\"/>\n"
                          "<Var name=\"level\" value=\"-3\"/>\n"
                          "<Var name=\"logo\" value=\"AQID\"/>\n"
                          "<Var name=\"mode\" value=\"0\"/>\n"
                          "<Var name=\"port[0].baud\" value=\"115200\"/>\n"
                          "<Var name=\"port[0].line.bits\" value=\"8\"/>\n"
                          "<Var name=\"port[0].line.parity\" value=\"1\"/>\n"
                          "<Var name=\"port[1].baud\" value=\"9600\"/>\n"
                          "<Var name=\"port[1].line.bits\" value=\"7\"/>\n"
                          "<Var name=\"port[1].line.parity\" value=\"0\"/>\n"
                          "<Var name=\"serial\" value=\"305419896\"/>\n"
                          "<Var name=\"speed\" value=\"2\"/>\n"
                          "<Var name=\"start\" value=\"605\"/>\n"
                          "<Var name=\"table[0]\" value=\"1\"/>\n"
                          "<Var name=\"table[1]\" value=\"2\"/>\n"
                          "<Var name=\"table[2]\" value=\"200\"/>\n"
                          "<Var name=\"title\" value=\"\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\"/>\n"
                          "</Configuration>\n";

// Computed independently (CRC-16/MODBUS appended low byte first); the title is CP1251.
const QByteArray Image = hex("48 00 01 00 FD 02 00 78 56 34 12 00 00 00 5D 02 C0 A8 00 01 00 00 C0 3F CF F0 E8 E2 "
                             "E5 F2 00 00 00 00 00 00 00 00 00 00 03 00 01 02 03 00 00 00 00 00 00 00 00 01 02 C8 "
                             "00 C2 01 00 08 01 00 00 80 25 00 00 07 00 00 00 FF FF 16 1F");

QByteArray showLines(const char *table2)
{
    return QByteArray("address\t192.168.0.1\ncrcSeed\t65535 \nenabled\ton\ngain\t1.50 V\nlevel\t-3 dB\n"
                      "logo\t3 bytes\nmode\tManual\nport[0].baud\t115200 \nport[0].line.bits\t8 \n"
                      "port[0].line.parity\ton\nport[1].baud\t9600 \nport[1].line.bits\t7 \n"
                      "port[1].line.parity\toff\nserial\t305419896 \nspeed\tFast\nstart\t10:05\n"
                      "table[0]\t1 \ntable[1]\t2 \ntable[2]\t")
        + table2 + " \ntitle\t\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\n";
}

} // namespace

class TestCliFormat : public QObject
{
    Q_OBJECT
private slots:
    void check_allKinds();
    void check_refused_data();
    void check_refused();
    void check_brokenFile_usesBackup();
    void usage_data();
    void usage();
    void show_freshValues();
    void packShowUnpack_roundTrip();
    void show_badImage_fails_data();
    void show_badImage_fails();
    void pack_failure_keepsExistingOutput_data();
    void pack_failure_keepsExistingOutput();
    void unpack_badImage_keepsExistingValues();
    void output_closedFolderWritableFile_writtenInPlace_data();
    void output_closedFolderWritableFile_writtenInPlace();
    void output_notARegularFile_writtenIntoNeverReplaced_data();
    void output_notARegularFile_writtenIntoNeverReplaced();
    void stdoutFull_answerLost_failsWithLine_data();
    void stdoutFull_answerLost_failsWithLine();
};

void TestCliFormat::check_allKinds()
{
    const Run r = runTool({"check", AllKinds});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("id: ALLKINDS-1\nvariables: 20\ndata size: 72\nimage size: 76\n"
                               "rows: 16\nconditions: 1\n"));
}

void TestCliFormat::check_refused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("diagnostics"); // the system's lines, before the tail
    QTest::addColumn<QByteArray>("errTail");     // PATH stands for the description's path

    QTest::newRow("unknown tag") << QByteArray("<D id='x'><Format><int name='i'/></Format></D>")
                                 << QByteArray("Bad type 'int'\nError loading format\n")
                                 << QByteArray("vant-conf-cli: the Format element of 'PATH' is not usable\n");
    QTest::newRow("bad array in a structure")
        << QByteArray("<D><Format><struct name='s'><byte name='b[3'/></struct></Format></D>")
        << QByteArray("Bad array format\nError loading format\n")
        << QByteArray("vant-conf-cli: the Format element of 'PATH' is not usable\n");
    QTest::newRow("data area too large")
        << QByteArray("<D><Format><file name='f[7]' size='10240'/></Format></D>")
        << QByteArray("Data area too large (71680 bytes)\nError loading format\n")
        << QByteArray("vant-conf-cli: the Format element of 'PATH' is not usable\n");
    QTest::newRow("no Format element") << QByteArray("<D id='x'><format/><tree/></D>")
                                       << QByteArray("No format in file\n")
                                       << QByteArray("vant-conf-cli: no Format element in 'PATH'\n");
    QTest::newRow("Tree before the Format element")
        << QByteArray("<D id='x'><Tree/><Format><byte name='a'/></Format></D>") << QByteArray("No format before tree\n")
        << QByteArray("vant-conf-cli: the Tree element comes before the Format element in 'PATH'\n");
    QTest::newRow("two Format elements")
        << QByteArray("<D id='x'><Format><byte name='a'/></Format><Format><byte name='a'/></Format><Tree/></D>")
        << QByteArray("Duplicate format\n") << QByteArray("vant-conf-cli: more than one Format element in 'PATH'\n");
    QTest::newRow("two Tree elements")
        << QByteArray("<D id='x'><Format><byte name='a'/></Format><Tree/><Tree/></D>") << QByteArray("Duplicate tree\n")
        << QByteArray("vant-conf-cli: more than one Tree element in 'PATH'\n");
    QTest::newRow("not XML") << QByteArray("<D id='x'><Format>")
                             << QByteArray("Can't open file 'PATH.bak' for reading\nXML error\n")
                             << QByteArray("vant-conf-cli: cannot read the description 'PATH'\n");
}

void TestCliFormat::check_refused()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath("d.xml");
    QVERIFY(writeFile(path, content));
    const Run r = runTool({"check", path});
    QCOMPARE(r.exitCode, 1);
    // Standard output holds only answers; the system's lines go to standard error.
    QCOMPARE(r.out, QByteArray());
    QFETCH(QByteArray, diagnostics);
    QFETCH(QByteArray, errTail);
    const QByteArray tail = QByteArray(diagnostics + errTail).replace("PATH", path.toLocal8Bit());
    QVERIFY2(r.err.endsWith(tail), r.err.constData());
}

void TestCliFormat::check_brokenFile_usesBackup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("d.xml");
    QVERIFY(writeFile(path, "<D id='new'><Format><byte name='a'/>"));
    QVERIFY(writeFile(path + ".bak", "<D><Format><word name='a'/><struct name='s'/></Format><Tree/></D>"));
    const Run r = runTool({"check", path});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("id: noname\nvariables: 1\ndata size: 2\nimage size: 6\nrows: 1\nconditions: 0\n"));
    QVERIFY2(r.err.startsWith("Parse error for file '" + path.toLocal8Bit() + "': "), r.err.constData());
}

void TestCliFormat::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("check without file") << QStringList{"check"};
    QTest::newRow("check with two files") << QStringList{"check", AllKinds, AllKinds};
    QTest::newRow("check with unknown option") << QStringList{"check", "-x", AllKinds};
    QTest::newRow("show with three files") << QStringList{"show", AllKinds, "a.xml", "b.xml"};
    QTest::newRow("pack without -o") << QStringList{"pack", AllKinds, "v.xml"};
    QTest::newRow("pack -o without file") << QStringList{"pack", AllKinds, "v.xml", "-o"};
    QTest::newRow("pack with -o twice") << QStringList{"pack", AllKinds, "v.xml", "-o", "a.bin", "-o", "b.bin"};
    QTest::newRow("unpack without image") << QStringList{"unpack", AllKinds, "-o", "v.xml"};
}

void TestCliFormat::usage()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    const Run r = runTool(args, dir.path());
    QCOMPARE(r.exitCode, 64);
    QVERIFY2(r.err.contains("usage: vant-conf-cli " + args.first().toLatin1()), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestCliFormat::show_freshValues()
{
    const Run r = runTool({"show", AllKinds});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("address\t0.0.0.0\ncrcSeed\t0 \nenabled\toff\ngain\t0.00 V\nlevel\t0 dB\n"
                               "logo\t0 bytes\nmode\tManual\nport[0].baud\t0 \nport[0].line.bits\t0 \n"
                               "port[0].line.parity\toff\nport[1].baud\t0 \nport[1].line.bits\t0 \n"
                               "port[1].line.parity\toff\nserial\t0 \nspeed\tSlow\nstart\t00:00\n"
                               "table[0]\t0 \ntable[1]\t0 \ntable[2]\t0 \ntitle\t\n"));
}

void TestCliFormat::packShowUnpack_roundTrip()
{
    QTemporaryDir dir;
    const QString values = dir.filePath("values.xml");
    QVERIFY(writeFile(values, Values));

    Run r = runTool({"show", AllKinds, values});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, showLines("200"));

    const QString image = dir.filePath("image.bin");
    r = runTool({"pack", AllKinds, values, "-o", image});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readFile(image).toHex(' '), Image.toHex(' '));

    // The suffix decides, in any letter case.
    QVERIFY(QFile::copy(image, dir.filePath("IMAGE.BIN")));
    r = runTool({"show", AllKinds, dir.filePath("IMAGE.BIN")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, showLines("-56"));
    QCOMPARE(r.err, QByteArray("Config ok\n"));

    const QString back = dir.filePath("back.xml");
    r = runTool({"unpack", AllKinds, image, "-o", back});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, QByteArray("Config ok\n"));
    QCOMPARE(readFile(back), QByteArray(Values).replace("\"200\"", "\"-56\""));
    QVERIFY(!QFile::exists(back + ".bak"));

    // Unpacking over an existing value file keeps the previous one as ".bak".
    QVERIFY(writeFile(back, "previous"));
    r = runTool({"unpack", AllKinds, image, "-o", back});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readFile(back + ".bak"), QByteArray("previous"));

    // Packing the unpacked values gives the same image.
    r = runTool({"pack", AllKinds, back, "-o", image});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readFile(image).toHex(' '), Image.toHex(' '));
}

void TestCliFormat::show_badImage_fails_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArray>("diagnostics");
    QByteArray badCrc = Image;
    badCrc[10] = char(badCrc[10] ^ 0x01);
    QTest::newRow("bad CRC") << badCrc << QByteArray("Bad CRC\n");
    QTest::newRow("one byte short") << Image.left(Image.size() - 1) << QByteArray("Config too small\n");
    QTest::newRow("empty file") << QByteArray() << QByteArray("Config too small\n");
    QTest::newRow("other size") << hex("04 00 78 56 34 12 6F E2") + QByteArray(80, '\0')
                                << QByteArray("Bad config size (got 4, need 72)\n");
}

void TestCliFormat::show_badImage_fails()
{
    QFETCH(QByteArray, image);
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.bin");
    QVERIFY(writeFile(path, image));
    const Run r = runTool({"show", AllKinds, path});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray());
    QFETCH(QByteArray, diagnostics);
    QCOMPARE(r.err, diagnostics + "vant-conf-cli: '" + path.toLocal8Bit() + "' is not an image of format 'ALLKINDS-1'\n");
}

void TestCliFormat::pack_failure_keepsExistingOutput_data()
{
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<QString>("output"); // relative to the test directory
    QTest::addColumn<QByteArray>("errTail");
    QTest::addColumn<int>("fileSizeLimit"); // 0: none
    QTest::newRow("values of another format")
        << QByteArray("<Configuration id='OTHER'/>") << "out.bin"
        << QByteArray("vant-conf-cli: cannot load values of format 'ALLKINDS-1' from 'DIR/v.xml'\n") << 0;
    QTest::newRow("values file not XML") << QByteArray("<<<") << "out.bin"
                                         << QByteArray("vant-conf-cli: cannot load values of format 'ALLKINDS-1' "
                                                       "from 'DIR/v.xml'\n")
                                         << 0;
    QTest::newRow("output is a directory") << Values << "outdir"
                                           << QByteArray("vant-conf-cli: cannot write 'DIR/outdir': ") << 0;
    QTest::newRow("output directory missing") << Values << "missing/out.bin"
                                              << QByteArray("vant-conf-cli: cannot write 'DIR/missing/out.bin': ")
                                              << 0;
    // The 76-byte image stops at 50 bytes, as on a full disk.
    QTest::newRow("write cut short") << Values << "out.bin" << QByteArray("vant-conf-cli: cannot write 'DIR/out.bin': ")
                                     << 50;
}

void TestCliFormat::pack_failure_keepsExistingOutput()
{
    QFETCH(QByteArray, values);
    QFETCH(QString, output);
    QFETCH(QByteArray, errTail);
    QFETCH(int, fileSizeLimit);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("v.xml"), values));
    QVERIFY(writeFile(dir.filePath("out.bin"), "old image"));
    QVERIFY(QDir(dir.path()).mkdir("outdir"));
    const Run r = runTool({"pack", AllKinds, dir.filePath("v.xml"), "-o", dir.filePath(output)}, QString(),
                         rlim_t(fileSizeLimit));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(errTail.replace("DIR", dir.path().toLocal8Bit())), r.err.constData());
    QCOMPARE(readFile(dir.filePath("out.bin")), QByteArray("old image"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             (QStringList{"out.bin", "outdir", "v.xml"}));
}

void TestCliFormat::unpack_badImage_keepsExistingValues()
{
    QTemporaryDir dir;
    QByteArray bad = Image;
    bad[2] = char(bad[2] ^ 0x80);
    QVERIFY(writeFile(dir.filePath("bad.bin"), bad));
    QVERIFY(writeFile(dir.filePath("v.xml"), Values));
    const Run r = runTool({"unpack", AllKinds, dir.filePath("bad.bin"), "-o", dir.filePath("v.xml")});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.startsWith("Bad CRC\n"), r.err.constData());
    QCOMPARE(readFile(dir.filePath("v.xml")), Values);
    QVERIFY(!QFile::exists(dir.filePath("v.xml.bak")));

    const Run missing = runTool({"unpack", AllKinds, dir.filePath("none.bin"), "-o", dir.filePath("v.xml")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY2(missing.err.startsWith("vant-conf-cli: cannot read the image '" + dir.filePath("none.bin").toLocal8Bit()),
             missing.err.constData());
    QCOMPARE(readFile(dir.filePath("v.xml")), Values);

    // A FIFO would wait for a writer, /dev/zero never ends: both are refused at once.
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.bin")).constData(), 0600) == 0);
    for (const QString &input : {dir.filePath("pipe.bin"), QStringLiteral("/dev/zero")}) {
        const Run r = runTool({"unpack", AllKinds, input, "-o", dir.filePath("v.xml")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, "vant-conf-cli: cannot read the image '" + input.toLocal8Bit() + "': not a regular file\n");
        QCOMPARE(readFile(dir.filePath("v.xml")), Values);
    }
}

void TestCliFormat::output_closedFolderWritableFile_writtenInPlace_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("err"); // FILE stands for the output path
    QTest::newRow("pack") << "pack" << Image << QByteArray();
    // The value file would keep its previous version as ".bak"; the folder refuses that.
    QTest::newRow("unpack says the previous file is lost")
        << "unpack" << QByteArray(Values).replace("\"200\"", "\"-56\"")
        << QByteArray("Config ok\nCan't keep the previous file 'FILE' as 'FILE.bak'\n");
}

void TestCliFormat::output_closedFolderWritableFile_writtenInPlace()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, err);
    // A folder only its owner may change, holding a file anyone may write.
    QTemporaryDir dir;
    const QFileDevice::Permissions open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), open));
    QVERIFY(QDir(dir.path()).mkdir("shared"));
    const QString input = dir.filePath(command == QLatin1String("pack") ? "v.xml" : "image.bin");
    QVERIFY(writeFile(input, command == QLatin1String("pack") ? Values : Image));
    const QString output = dir.filePath("shared/out");
    QVERIFY(writeFile(output, "previous"));
    QVERIFY(QFile::setPermissions(output, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
                                              | QFileDevice::WriteOther));
    QVERIFY(QFile::setPermissions(dir.filePath("shared"), open & ~QFileDevice::WriteOwner));

    const Run r = runTool({command, AllKinds, input, "-o", output}, QString(), 0, true);
    QCOMPARE(r.err, err.replace("FILE", output.toLocal8Bit()));
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readFile(output), written);
    QCOMPARE(QDir(dir.filePath("shared")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{"out"});
}

void TestCliFormat::output_notARegularFile_writtenIntoNeverReplaced_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("target"); // fifo, device or stdout
    for (const char *command : {"pack", "unpack"}) {
        for (const char *target : {"fifo", "device", "stdout"})
            QTest::addRow("%s into %s", command, target) << command << target;
    }
}

void TestCliFormat::output_notARegularFile_writtenIntoNeverReplaced()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    const bool pack = command == QLatin1String("pack");
    const QByteArray expected = pack ? Image : QByteArray(Values).replace("\"200\"", "\"-56\"");
    QTemporaryDir dir;
    const QString input = dir.filePath(pack ? "v.xml" : "image.bin");
    QVERIFY(writeFile(input, pack ? Values : Image));
    const QString output = target == QLatin1String("stdout") ? QStringLiteral("-") : dir.filePath("out");
    const QByteArray native = QFile::encodeName(output);

    QByteArray received;
    std::thread reader;
    if (target == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        // Opening blocks until the tool opens the other end; then it reads to the end.
        reader = std::thread([&received, output] {
            QFile f(output);
            if (f.open(QIODevice::ReadOnly))
                received = f.readAll();
        });
    } else if (target == QLatin1String("device")) {
        // A null device of our own, so that a fault cannot take the system's /dev/null.
        QCOMPARE(::mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }

    const Run r = runTool({command, AllKinds, input, "-o", output});
    if (reader.joinable()) {
        // Frees the reader if the tool never opened the FIFO.
        const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        reader.join();
    }
    // Only the file goes to standard output; the image's line goes to standard error.
    QCOMPARE(r.err, pack ? QByteArray() : QByteArray("Config ok\n"));
    QCOMPARE(r.exitCode, 0);
    if (target == QLatin1String("stdout")) {
        QCOMPARE(r.out, expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{QFileInfo(input).fileName()});
        return;
    }
    struct stat info {};
    QCOMPARE(::lstat(native.constData(), &info), 0);
    if (target == QLatin1String("fifo")) {
        QVERIFY(S_ISFIFO(info.st_mode));
        QCOMPARE(received.toHex(' '), expected.toHex(' '));
    } else {
        QVERIFY(S_ISCHR(info.st_mode));
        QCOMPARE(info.st_rdev, makedev(1, 3));
    }
    QStringList entries{QFileInfo(input).fileName(), "out"};
    entries.sort();
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System),
             entries);
}

void TestCliFormat::stdoutFull_answerLost_failsWithLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("show") << QStringList{"show", AllKinds};
    QTest::newRow("tree") << QStringList{"tree", AllKinds};
    QTest::newRow("check") << QStringList{"check", AllKinds};
    QTest::newRow("eval") << QStringList{"eval", AllKinds, "enabled = 0"};
}

void TestCliFormat::stdoutFull_answerLost_failsWithLine()
{
    QFETCH(QStringList, args);
    QProcess p;
    p.setStandardOutputFile(QStringLiteral("/dev/full"));
    p.start(QString::fromLocal8Bit(qgetenv("VANT_CLI")), args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.readAllStandardError(), QByteArray("vant-conf-cli: cannot write standard output\n"));
    QCOMPARE(p.exitCode(), 1);
}

QTEST_GUILESS_MAIN(TestCliFormat)
#include "tst_cli_format.moc"
