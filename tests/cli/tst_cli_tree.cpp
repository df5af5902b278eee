// End to end: eval and tree (and the tree lines of check) of the real vant-conf-cli on real files.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList &args)
{
    Run r;
    const QString program = QString::fromLocal8Bit(qgetenv("VANT_CLI"));
    if (program.isEmpty())
        qFatal("VANT_CLI is not set; run this test through ctest");
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        qFatal("vant-conf-cli did not finish");
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const QString Demo = QStringLiteral(VANT_SOURCE_DIR "/confxml/VANT-DEMO-1.xml");
const QString DemoValues = QStringLiteral(VANT_SOURCE_DIR "/confxml/samples/VANT-DEMO-1-values.xml");

// A small description: ids a 0, b 1, s 2 (size 8), sel 10.
const QByteArray Small = "<D id='SMALL'><Format><byte name='a' suffix='V'/><byte name='b'/>"
                         "<string name='s' size='8'/><byte name='sel' select='x|y'/></Format>"
                         "<Tree name='Top'>"
                         "<Var var='a' name='A' enabled='b = 1' visible='b = 2'/>"
                         "<Group name='G' visible='a'><Var var='s'/><Group/></Group>"
                         "<Var var='sel' enabled='a ge 1'/>"
                         "</Tree></D>";
const QByteArray SmallValues = "<!DOCTYPE Configuration>\n<Configuration id='SMALL'>\n"
                               "<Var name='a' value='3'/><Var name='b' value='1'/><Var name='s' value='hi'/>"
                               "<Var name='sel' value='1'/></Configuration>\n";

} // namespace

class TestCliTree : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eval_data();
    void eval();
    void tree_data();
    void tree();
    void treeFailure_data();
    void treeFailure();
    void demo_tree_withValues();
    void demo_check_countsRowsAndConditions();

private:
    QTemporaryDir dir;
    QString small, smallValues, demoImage;
};

void TestCliTree::initTestCase()
{
    QVERIFY(dir.isValid());
    small = dir.filePath(QStringLiteral("small.xml"));
    smallValues = dir.filePath(QStringLiteral("small-values.xml"));
    QVERIFY(writeFile(small, Small));
    QVERIFY(writeFile(smallValues, SmallValues));
    // The image comes from the real pack command, so eval and tree are also tried on images.
    demoImage = dir.filePath(QStringLiteral("demo.bin"));
    const Run pack = runCli({QStringLiteral("pack"), Demo, DemoValues, QStringLiteral("-o"), demoImage});
    QCOMPARE(pack.err, QByteArray());
    QCOMPARE(pack.exitCode, 0);
}

void TestCliTree::eval_data()
{
    QTest::addColumn<QStringList>("args"); // after "eval"; "@demo", "@values", "@image", "@small" are files
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("value file, true") << QStringList{"@demo", "@values", "Mode = 2"} << 0 << QByteArray("true\n")
                                      << QByteArray();
    QTest::newRow("value file, false") << QStringList{"@demo", "@values", "Mode = 3"} << 0 << QByteArray("false\n")
                                       << QByteArray();
    QTest::newRow("image, true") << QStringList{"@demo", "@image", "Net.Port = 502 and Serial.Baud = 4"} << 0
                                 << QByteArray("Config ok\ntrue\n") << QByteArray();
    QTest::newRow("no values: initial zeros") << QStringList{"@demo", "Mode = 0 and Net.Port = 0"} << 0
                                              << QByteArray("true\n") << QByteArray();
    QTest::newRow("float truncated") << QStringList{"@demo", "@values", "Ch[0].Scale = 6 and Ch[0].Offset = -25"}
                                     << 0 << QByteArray("true\n") << QByteArray();
    QTest::newRow("string length") << QStringList{"@demo", "@values", "DeviceName = 11"} << 0 << QByteArray("true\n")
                                   << QByteArray();
    QTest::newRow("file length") << QStringList{"@demo", "@values", "Logo = 8"} << 0 << QByteArray("true\n")
                                 << QByteArray();
    QTest::newRow("missing variable is 0") << QStringList{"@demo", "@values", "Missing = 0"} << 0
                                           << QByteArray("true\n") << QByteArray();
    QTest::newRow("condition starting with a minus after --")
        << QStringList{"@demo", "@values", "--", "-Mode < 0"} << 0 << QByteArray("true\n") << QByteArray();
    QTest::newRow("empty condition is no condition") << QStringList{"@demo", ""} << 0 << QByteArray("true\n")
                                                     << QByteArray();
    QTest::newRow("does not compile")
        << QStringList{"@demo", "@values", "Mode == 2"} << 1 << QByteArray("LogicExpr: parse error 'Mode == 2'\n")
        << QByteArray("vant-conf-cli: the condition does not compile\n");
    QTest::newRow("tab does not compile")
        << QStringList{"@small", "a\t= 1"} << 1 << QByteArray("LogicExpr: parse error 'a\t= 1'\n")
        << QByteArray("vant-conf-cli: the condition does not compile\n");
    QTest::newRow("values of another format")
        << QStringList{"@small", "@values", "a"} << 1 << QByteArray()
        << "vant-conf-cli: cannot load values of format 'SMALL' from '" + DemoValues.toLocal8Bit() + "'\n";
}

void TestCliTree::eval()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    args.replaceInStrings(QStringLiteral("@demo"), Demo);
    args.replaceInStrings(QStringLiteral("@values"), DemoValues);
    args.replaceInStrings(QStringLiteral("@image"), demoImage);
    args.replaceInStrings(QStringLiteral("@small"), small);
    const Run r = runCli(QStringList{QStringLiteral("eval")} + args);
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err);
    QCOMPARE(r.exitCode, exitCode);
}

void TestCliTree::tree_data()
{
    QTest::addColumn<bool>("withValues");
    QTest::addColumn<QByteArray>("out");

    // Initial values: a = 0, b = 0, so A is disabled and hidden, G hidden, sel disabled.
    QTest::newRow("initial values")
        << false
        << QByteArray("Top\n"
                      "  A\t0 V\t(disabled)\t(hidden)\n"
                      "  G\t(hidden)\n"
                      "    s\t\n"
                      "    Unnamed\n"
                      "  sel\tx\t(disabled)\n");
    QTest::newRow("loaded values")
        << true
        << QByteArray("Top\n"
                      "  A\t3 V\t(hidden)\n"
                      "  G\n"
                      "    s\thi\n"
                      "    Unnamed\n"
                      "  sel\ty\n");
}

void TestCliTree::tree()
{
    QFETCH(bool, withValues);
    QFETCH(QByteArray, out);
    QStringList args{QStringLiteral("tree"), small};
    if (withValues)
        args << smallValues;
    const Run r = runCli(args);
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
}

void TestCliTree::treeFailure_data()
{
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err"); // %1 is the description's path

    const QByteArray format = "<Format><byte name='a'/></Format>";
    QTest::newRow("unknown variable")
        << "<D>" + format + "<Tree><Group><Var var='zz'/></Group></Tree></D>"
        << QByteArray("Variable 'zz' not found\nError loading tree\n")
        << QByteArray("vant-conf-cli: the Tree element of '%1' is not usable\n");
    QTest::newRow("macro not found")
        << "<D>" + format + "<Tree><Var template='m'/></Tree></D>"
        << QByteArray("Macro 'm' not found !\nError loading tree\n")
        << QByteArray("vant-conf-cli: the Tree element of '%1' is not usable\n");
    QTest::newRow("macro parse error on standard error")
        << "<D>" + format + "<Tree><Def template='m' name='%n%'/><Group template='m' n='&lt;'/></Tree></D>"
        << QByteArray("Error loading tree\n")
        << QByteArray("Parse error for macro m: Unexpected '<'.. At line 1, column 16.\n"
                      "vant-conf-cli: the Tree element of '%1' is not usable\n");
    QTest::newRow("no tree")
        << "<D>" + format + "</D>" << QByteArray("No tree in file\n")
        << QByteArray("vant-conf-cli: no Tree element after the Format element in '%1'\n");
    QTest::newRow("tree before format")
        << "<D><Tree/>" + format + "</D>" << QByteArray("No format before tree\n")
        << QByteArray("vant-conf-cli: the Tree element comes before the Format element in '%1'\n");
}

void TestCliTree::treeFailure()
{
    QFETCH(QByteArray, description);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const QString path = dir.filePath(QStringLiteral("bad.xml"));
    QVERIFY(writeFile(path, description));
    const QByteArray expectedErr = QString::fromUtf8(err).arg(path).toUtf8();

    // Every command that reads a description refuses it by the same rules.
    const QList<QStringList> commands{{"tree", path}, {"check", path}, {"show", path}, {"eval", path, "a = 0"}};
    for (const QStringList &command : commands) {
        const Run r = runCli(command);
        QCOMPARE(r.out, out);
        QCOMPARE(r.err, expectedErr);
        QCOMPARE(r.exitCode, 1);
    }
}

void TestCliTree::demo_tree_withValues()
{
    const Run r = runCli({QStringLiteral("tree"), Demo, DemoValues});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    // Mode is Automatic: the channel groups are enabled and the schedule is hidden; input 2 is
    // a PT100, so its scaling rows are hidden; inputs 3 and 4 are off, so their type and filter
    // rows are disabled.
    const QString expected = QString::fromUtf8(
        "VANT demo controller\n"
        "  General\n"
        "    Device name\tBoiler room\n"
        "    Bus address\t12 \n"
        "    Mode\tAutomatic\n"
        "    Settings locked\tNo\n"
        "  Network\n"
        "    Use DHCP\toff\n"
        "    IP address\t192.168.1.50\n"
        "    Subnet mask\t255.255.255.0\n"
        "    Gateway\t192.168.1.1\n"
        "    TCP port\t502 \n"
        "  Serial line\n"
        "    Baud rate\t115200\n"
        "    Parity\tEven\n"
        "  Analog inputs\n"
        "    Input 1\n"
        "      Enabled\ton\n"
        "      Input type\t4-20 mA\n"
        "      Scale\t6.250 \n"
        "      Offset\t-25.00 \n"
        "      Filter\t200 ms\n"
        "    Input 2\n"
        "      Enabled\ton\n"
        "      Input type\tPT100\n"
        "      Scale\t1.000 \t(hidden)\n"
        "      Offset\t0.00 \t(hidden)\n"
        "      Filter\t500 ms\n"
        "    Input 3\n"
        "      Enabled\toff\n"
        "      Input type\t0-10 V\t(disabled)\n"
        "      Scale\t1.000 \n"
        "      Offset\t0.00 \n"
        "      Filter\t0 ms\t(disabled)\n"
        "    Input 4\n"
        "      Enabled\toff\n"
        "      Input type\t0-10 V\t(disabled)\n"
        "      Scale\t1.000 \n"
        "      Offset\t0.00 \n"
        "      Filter\t0 ms\t(disabled)\n"
        "  Schedule\t(hidden)\n"
        "    Start time\t07:30\n"
        "    Stop time\t18:45\n"
        "    Days\tWeekdays\n"
        "  Control\n"
        "    Set point\t21.5 \xc2\xb0" "C\n"
        "    Hysteresis\t5 %\n"
        "  Service\n"
        "    Uptime\t86400 s\n"
        "    Display logo\t8 bytes\n"
        "    Notes\tInstalled 2024-03-12\n");
    QCOMPARE(QString::fromUtf8(r.out), expected);
}

void TestCliTree::demo_check_countsRowsAndConditions()
{
    // Rows: top, General 1+4, Network 1+5, Serial line 1+2, Analog inputs 1+4*(1+5),
    // Schedule 1+3, Control 1+2, Service 1+3. Conditions: Network 1, address macro 3,
    // input groups 4, input rows 4*4, Schedule 1, Control 1, Hysteresis 1.
    const Run r = runCli({QStringLiteral("check"), Demo});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("id: VANT-DEMO-1\nvariables: 39\ndata size: 679\nimage size: 683\n"
                               "rows: 51\nconditions: 27\n"));
}

QTEST_GUILESS_MAIN(TestCliTree)
#include "tst_cli_tree.moc"
