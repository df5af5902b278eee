// The modules the window loads on first use: finding a module file, refusing one built for
// another program, and the real device and download modules working inside a program that
// shares its symbols with them, as vant-conf does.
#include "app/comdialog.h"
#include "app/devicemodule.h"
#include "app/mainwindow.h"
#include "app/modules.h"
#include "device/hidbackend.h"
#include "download/descriptionserver.h"
#include "download/ui/descriptiondownload.h"
#include "fetchtestutil.h"
#include "httptestserver.h"
#include "tests/support/guitest.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QString BinDir = QStringLiteral(VANT_BINARY_DIR "/bin");

// Stand-ins for a module's entry point, each giving a table that is wrong in one way.
const void *diagChannel = reinterpret_cast<const void *>(&diagReport);
const int otherDiag = 0;

void runNothing(MainWindow &, DeviceCommand) {}
std::unique_ptr<HidBackend> noHid() { return nullptr; }
bool downloadNothing(const QString &, QWidget *) { return false; }

const DeviceModule deviceGood{DeviceModuleAbi, diagChannel, sizeof(MainWindow), runNothing, noHid};
const DeviceModule deviceOtherAbi{DeviceModuleAbi + 1, diagChannel, sizeof(MainWindow), runNothing, noHid};
const DeviceModule deviceOwnDiag{DeviceModuleAbi, &otherDiag, sizeof(MainWindow), runNothing, noHid};
const DeviceModule deviceOtherWindow{DeviceModuleAbi, diagChannel, sizeof(MainWindow) + 8, runNothing, noHid};
const DownloadModule downloadGood{DownloadModuleAbi, diagChannel, downloadNothing};
const DownloadModule downloadOtherAbi{DownloadModuleAbi + 1, diagChannel, downloadNothing};
const DownloadModule downloadOwnDiag{DownloadModuleAbi, &otherDiag, downloadNothing};

template <auto Table>
const void *entry()
{
    return Table;
}
const void *noTable()
{
    return nullptr;
}

// Loads a module built with the program, from where the build puts it.
template <typename Module>
const Module *builtModule(const QString &file, const char *entryName,
                          const Module *(*check)(modules::EntryPoint, const QString &, QString *), QString *error)
{
    const modules::EntryPoint entry = modules::loadEntry(file, entryName, {BinDir}, error);
    return entry ? check(entry, file, error) : nullptr;
}

} // namespace

Q_DECLARE_METATYPE(modules::EntryPoint)

class TestModules : public QObject
{
    Q_OBJECT
private slots:
    void loadEntry_fromTheFirstFolderHoldingTheFile_data();
    void loadEntry_fromTheFirstFolderHoldingTheFile();
    void checked_refusesAModuleBuiltForAnotherProgram_data();
    void checked_refusesAModuleBuiltForAnotherProgram();
    void downloadModule_fetchesForTheProgram();
    void deviceModule_runsACommandInTheProgramsWindow();
};

void TestModules::loadEntry_fromTheFirstFolderHoldingTheFile_data()
{
    QTest::addColumn<QStringList>("first");  // what the first folder holds: "module", "garbage"
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("failure"); // empty when the entry point is found; else a piece of the error

    const QByteArray entry = DownloadModuleEntry;
    QTest::newRow("in the first folder") << QStringList{"module"} << QStringList{} << entry << "";
    QTest::newRow("in the second folder") << QStringList{} << QStringList{"module"} << entry << "";
    QTest::newRow("first found is used") << QStringList{"garbage"} << QStringList{"module"} << entry
                                         << "/1/vant-conf-download.so: ";
    QTest::newRow("in no folder") << QStringList{} << QStringList{} << entry
                                  << "vant-conf-download.so is in none of ";
    QTest::newRow("no such entry point") << QStringList{"module"} << QStringList{} << QByteArray("vant_conf_no_module")
                                         << "no entry point vant_conf_no_module";
}

void TestModules::loadEntry_fromTheFirstFolderHoldingTheFile()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QByteArray, entry);
    QFETCH(QString, failure);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList folders{dir.filePath(QStringLiteral("1")), dir.filePath(QStringLiteral("2"))};
    const QList<QStringList> contents{first, second};
    for (int i = 0; i < 2; ++i) {
        QVERIFY(QDir().mkpath(folders[i]));
        const QString target = folders[i] + QLatin1Char('/') + modules::DownloadModuleFile;
        if (contents[i].contains(QLatin1String("module")))
            QVERIFY(QFile::copy(BinDir + QLatin1Char('/') + modules::DownloadModuleFile, target));
        if (contents[i].contains(QLatin1String("garbage")))
            QVERIFY(writeFile(target, "not a library"));
    }

    QString error;
    const modules::EntryPoint found = modules::loadEntry(modules::DownloadModuleFile, entry.constData(), folders, &error);
    if (failure.isEmpty()) {
        QVERIFY2(found, qPrintable(error));
        QVERIFY(found());
    } else {
        QVERIFY(!found);
        QVERIFY2(error.contains(failure), qPrintable(error));
    }
    if (failure.contains(QLatin1String("none of")))
        QVERIFY2(error.contains(folders.join(QStringLiteral(", "))), qPrintable(error));
}

void TestModules::checked_refusesAModuleBuiltForAnotherProgram_data()
{
    QTest::addColumn<modules::EntryPoint>("device");
    QTest::addColumn<bool>("deviceAccepted");
    QTest::addColumn<modules::EntryPoint>("download");
    QTest::addColumn<bool>("downloadAccepted");

    QTest::newRow("built for this program") << &entry<&deviceGood> << true << &entry<&downloadGood> << true;
    QTest::newRow("another version of the tables") << &entry<&deviceOtherAbi> << false << &entry<&downloadOtherAbi>
                                                   << false;
    QTest::newRow("diagnostics of its own") << &entry<&deviceOwnDiag> << false << &entry<&downloadOwnDiag> << false;
    QTest::newRow("another window") << &entry<&deviceOtherWindow> << false << &entry<&downloadGood> << true;
    QTest::newRow("no table") << &noTable << false << &noTable << false;
}

void TestModules::checked_refusesAModuleBuiltForAnotherProgram()
{
    QFETCH(modules::EntryPoint, device);
    QFETCH(bool, deviceAccepted);
    QFETCH(modules::EntryPoint, download);
    QFETCH(bool, downloadAccepted);

    QString error;
    QCOMPARE(modules::checkedDeviceModule(device, QStringLiteral("d.so"), &error) != nullptr, deviceAccepted);
    QCOMPARE(error, deviceAccepted ? QString() : QStringLiteral("d.so was built for another version of the program"));
    error.clear();
    QCOMPARE(modules::checkedDownloadModule(download, QStringLiteral("l.so"), &error) != nullptr, downloadAccepted);
    QCOMPARE(error, downloadAccepted ? QString() : QStringLiteral("l.so was built for another version of the program"));
}

// The dialog comes from the module and stores into the program's working directory; what the
// transfer reports reaches the program's own collector.
void TestModules::downloadModule_fetchesForTheProgram()
{
    QString error;
    const DownloadModule *module = builtModule(modules::DownloadModuleFile, DownloadModuleEntry,
                                               modules::checkedDownloadModule, &error);
    QVERIFY2(module, qPrintable(error));

    WorkDir work;
    QVERIFY(work.isValid());
    HttpTestServer server;
    QVERIFY(server.listen());
    const QByteArray description = "<description of VANT-A/>";
    server.setReply(CannedReply::make(200, "OK", description));
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QLatin1String(DescriptionServerKey), server.address());

    const DiagCollector collector;
    QVERIFY(module->download(QStringLiteral("VANT-A"), nullptr));
    QCOMPARE(readFile(QStringLiteral("confxml/VANT-A.xml")), description);
    QStringList lines;
    for (const Diagnostic &d : collector.diagnostics())
        lines << d.text.trimmed();
    QVERIFY2(lines.contains(QLatin1String("http status 200")), qPrintable(lines.join(QLatin1Char('|'))));
}

// The simulated device the module makes, identified by a command the module runs on a window
// of the program.
void TestModules::deviceModule_runsACommandInTheProgramsWindow()
{
    QString error;
    const DeviceModule *module = builtModule(modules::DeviceModuleFile, DeviceModuleEntry,
                                             modules::checkedDeviceModule, &error);
    QVERIFY2(module, qPrintable(error));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray saved = qgetenv("VANT_HID_SIM");
    qputenv("VANT_HID_SIM", QFile::encodeName(dir.filePath(QStringLiteral("device.bin"))));
    const std::unique_ptr<HidBackend> hid = module->simulatedHid();
    qputenv("VANT_HID_SIM", saved);
    QVERIFY(hid);
    QCOMPARE(hid->enumerate().size(), 1);

    MainWindow window;
    window.settingsStore()->setValue(QLatin1String(KeyDriver), int(LinkDriverHid));
    window.setHidBackend(hid.get());
    // The box that ends the command is read and closed; the progress dialog before it is not
    // waited for, it may come and go between two looks.
    gui::BoxSeen box;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&box] {
        if (auto *modal = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box = gui::readBox(modal);
            modal->accept();
        }
    });
    answer.start(5);
    module->run(window, DeviceCommand::Identify);
    QCOMPARE(box.title, QStringLiteral("Information"));
    QCOMPARE(box.text, QStringLiteral("Hardware ID: VANT-HW-1\nSoftware ID: VANT-DEMO-1"));
}

VANT_GUI_TEST_MAIN(TestModules)
#include "tst_modules.moc"
