// The Device menu end to end: the window's commands against the device simulator on a
// pseudo-terminal (a named port, or found by the automatic choice through the port registry)
// and against the simulated HID device, with descriptions from confxml/ or from a loopback
// HTTP server. Every dialog is answered from a timer the way a user would answer it.
#include "tests/support/devicefiles.h"
#include "app/mainwindow.h"
#include "app/messagespane.h"
#include "device/device.h"
#include "device/hidbackend.h"
#include "device/portlist.h"
#include "download/descriptionserver.h"
#include "format/confformat.h"
#include "tests/download/fetchtestutil.h"
#include "tests/download/httptestserver.h"
#include "tests/support/simprocess.h"
#include "tests/support/guitest.h"
#include "device/sim/simhid.h"
#include "tree/ui/conftree.h"

#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QProgressDialog>
#include <QSettings>
#include <QLabel>
#include <QTreeWidget>

#include "app/reviewdialog.h"
#include "device/backups.h"
#include <QTcpServer>
#include <QSignalSpy>
#include <QThread>
#include <QTreeWidgetItemIterator>

#include <memory>

using testfiles::makeFirmware;
using testfiles::makeImage;

namespace {

const char *const DemoId = "VANT-DEMO-1";
const char *const LocalPortDescription = "VANT USB Serial (simulator)";

QSettings store()
{
    return QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"));
}

QByteArray sourceFile(const QString &relative)
{
    return readFile(QStringLiteral(VANT_SOURCE_DIR "/") + relative);
}

QAction *actionNamed(const MainWindow &window, const QString &text)
{
    const auto actions = window.findChildren<QAction *>();
    for (QAction *a : actions) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

const QString ActId = QStringLiteral("Read device &ID");
const QString ActDownload = QStringLiteral("&Download configuration");
const QString ActUpload = QStringLiteral("&Upload configuration");
const QString ActFirmware = QStringLiteral("Update firmwa&re");
const QString ActLink = QStringLiteral("&Link settings");

// The row of a variable, found by its id as the rows store it.
QTreeWidgetItem *rowOf(ConfTree *tree, const QString &name)
{
    if (!tree->format)
        return nullptr;
    const int type = QTreeWidgetItem::UserType + tree->format->idOf(name);
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->type() == type)
            return *it;
    }
    return nullptr;
}

// A message box as it was shown, with what surrounded it.
struct Box
{
    gui::BoxSeen seen;
    int workers = 0;         // Device objects alive under the window
    bool workerDone = false; // the one worker's thread had ended
    bool progressAlive = false;
};

// Answers the modal dialogs the commands open: message boxes are read and closed with OK,
// the progress dialog is watched (and handed to onTransfer on every poll), file dialogs get
// fileAnswer (empty: cancelled), the description download is left to finish by itself, and
// anything else is recorded and closed.
class Responder : public QObject
{
public:
    explicit Responder(MainWindow *window)
        : window(window)
    {
        connect(&timer, &QTimer::timeout, this, &Responder::poll);
        timer.start(5);
    }

    QList<Box> boxes;
    QStringList modals; // class and title of every modal seen, in order
    QStringList unexpected;
    int progressDialogs = 0;
    int maxWorkers = 0;
    int maxProgress = -1;
    Qt::WindowModality progressModality = Qt::NonModal;
    QString fileAnswer;
    QString fileCaption;
    QStringList fileFilters;
    std::function<void(QProgressDialog *)> onTransfer;
    std::function<void(QMessageBox *)> onBox;
    std::function<void(QInputDialog *)> onInput;
    // Any other dialog; true when it was answered.
    std::function<bool(QDialog *)> onDialog;

    QString boxTexts() const
    {
        QStringList texts;
        for (const Box &b : boxes)
            texts << b.seen.title + QLatin1Char('/') + b.seen.text;
        return texts.join(QLatin1String(" | "));
    }

private:
    void poll()
    {
        const auto workers = window->findChildren<Device *>();
        maxWorkers = qMax(maxWorkers, int(workers.size()));
        // The progress dialog is watched whether or not it blocks the window.
        const auto progresses = window->findChildren<QProgressDialog *>();
        for (QProgressDialog *progress : progresses) {
            if (!progress->isVisible())
                continue;
            if (!seenProgress.contains(progress)) {
                seenProgress << progress;
                ++progressDialogs;
                progressModality = progress->windowModality();
                modals << QStringLiteral("QProgressDialog:") + progress->windowTitle();
            }
            maxProgress = qMax(maxProgress, progress->value());
            if (onTransfer)
                onTransfer(progress);
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || qobject_cast<QProgressDialog *>(modal))
            return;
        if (modal == current)
            return;
        current = modal;
        modals << QString::fromLatin1(modal->metaObject()->className()) + QLatin1Char(':') + modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            Box b;
            b.seen = gui::readBox(box);
            b.workers = int(workers.size());
            b.workerDone = workers.size() == 1 && workers.first()->isFinished();
            b.progressAlive = !window->findChildren<QProgressDialog *>().isEmpty();
            boxes << b;
            if (onBox)
                onBox(box);
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            fileCaption = files->windowTitle();
            fileFilters = files->nameFilters();
            if (fileAnswer.isEmpty()) {
                files->reject();
            } else {
                files->selectFile(fileAnswer);
                static_cast<QDialog *>(files)->accept();
            }
        } else if (auto *input = qobject_cast<QInputDialog *>(modal); input && onInput) {
            onInput(input);
        } else if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && onDialog && onDialog(dialog)) {
        } else if (QString::fromLatin1(modal->metaObject()->className()) == QLatin1String("FormatDL")) {
            // ends by itself when the transfer does
        } else {
            unexpected << modal->windowTitle();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
    }

    MainWindow *window;
    QTimer timer;
    QPointer<QWidget> current;
    QList<QPointer<QProgressDialog>> seenProgress;
};

enum class Link { Serial, Auto, Hid };

// The device the test talks to.
struct DeviceSetup
{
    QByteArray hardwareId = "VANT-HW-1";
    QByteArray softwareId = DemoId;
    QByteArray image;       // stored configuration image; empty: the device holds none
    QStringList serialArgs; // more simulator options (faults, pacing)
};

} // namespace

Q_DECLARE_METATYPE(Link)

class TestDeviceCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void identify_showsBothIdentifiers_data();
    void identify_showsBothIdentifiers();
    void download_installsDescriptionAndValues_data();
    void download_installsDescriptionAndValues();
    void download_imageDoesNotFit_formatErrorAndRefresh_data();
    void download_imageDoesNotFit_formatErrorAndRefresh();
    void download_descriptionUnobtainable_treeUntouched_data();
    void download_descriptionUnobtainable_treeUntouched();
    void upload_withoutDescription_warnsAndContactsNothing_data();
    void upload_withoutDescription_warnsAndContactsNothing();
    void upload_imageSizeAgainstCapacity_data();
    void upload_imageSizeAgainstCapacity();
    void resultCodes_eachHasItsBox_data();
    void resultCodes_eachHasItsBox();
    void cancel_fromProgressDialog_waitsForWorker_data();
    void cancel_fromProgressDialog_waitsForWorker();
    void transferRunning_noSecondCommandNorLinkSettings();
    void driverChange_appliesToNextCommand();
    void driverOutOfRange_actsAsHid();
    void roundTrip_downloadEditUpload_readBackEqual_data();
    void roundTrip_downloadEditUpload_readBackEqual();
    void firmware_data();
    void firmware();
    void review_listsTheChanges_data();
    void review_listsTheChanges();
    void backupReadFails_nothingWritten_data();
    void backupReadFails_nothingWritten();
    void restore_putsTheDeviceBack();

private:
    // Starts the simulator and points the link settings at the device.
    void connectDevice(Link link, const DeviceSetup &setup);
    void trigger(MainWindow &window, const QString &action);
    // The review and the backups on, with no backups kept yet.
    void enableSafeWrites();
    QString imagePath() const { return work->path() + QStringLiteral("/device-image.bin"); }
    QString firmwareSink() const { return work->path() + QStringLiteral("/device-firmware.bin"); }
    QString serialLog() const { return work->path() + QStringLiteral("/serial.log"); }
    bool installDemoDescription() const
    {
        return writeFile(QStringLiteral("confxml/VANT-DEMO-1.xml"), demoDescription);
    }

    QTemporaryDir registry;
    QByteArray demoDescription;
    QByteArray demoImage;
    std::unique_ptr<WorkDir> work;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<SimDevice> hidModel;
    std::unique_ptr<SimHid> hid;
};

void TestDeviceCommands::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_DEVSIM").isEmpty(), "VANT_DEVSIM is not set");
    QVERIFY2(store().fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")),
             qPrintable(store().fileName()));
    QVERIFY(registry.isValid());
    // Only the simulators of this test may be found by the automatic choice.
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
    demoDescription = sourceFile(QStringLiteral("confxml/VANT-DEMO-1.xml"));
    demoImage = sourceFile(QStringLiteral("tools/devsim/demo-image.bin"));
    QVERIFY(demoDescription.startsWith("<?xml"));
    QVERIFY(demoImage.size() > 4);
}

void TestDeviceCommands::cleanupTestCase()
{
    qunsetenv("VANT_PORT_REGISTRY");
}

void TestDeviceCommands::init()
{
    store().clear();
    // The commands as they are without the review and the backups; the tests of those turn
    // them on.
    store().setValue("Device/ReviewBeforeUpload", false);
    store().setValue("Device/Backups", false);
    store().sync();
    work = std::make_unique<WorkDir>();
    QVERIFY(work->isValid());
    sim = std::make_unique<SimProcess>();
    hidModel = std::make_unique<SimDevice>();
    hid = std::make_unique<SimHid>(*hidModel);
    // No HID device unless a test plugs one in; the real one, if any, is never asked.
    hid->interfaces.clear();
}

void TestDeviceCommands::cleanup()
{
    sim.reset();
    hid.reset();
    hidModel.reset();
    work.reset();
}

void TestDeviceCommands::connectDevice(Link link, const DeviceSetup &setup)
{
    if (!setup.image.isEmpty())
        QVERIFY(writeFile(imagePath(), setup.image));
    if (link == Link::Hid) {
        hidModel->hardwareId = setup.hardwareId;
        hidModel->softwareId = setup.softwareId;
        hidModel->imagePath = imagePath();
        hidModel->firmwarePath = firmwareSink();
        hid->interfaces = {SimHidInterface()};
        store().setValue("Link/Driver", 2);
        return;
    }
    QStringList args{"--image", imagePath(), "--firmware", firmwareSink(), "--log", serialLog(),
                     "--hardware-id", QString::fromLatin1(setup.hardwareId),
                     "--software-id", QString::fromLatin1(setup.softwareId)};
    if (!setup.serialArgs.contains(QLatin1String("--pace")))
        args << "--no-pace";
    for (const QString &a : setup.serialArgs) {
        if (a != QLatin1String("--pace"))
            args << a;
    }
    if (link == Link::Auto)
        args << "--register";
    const QString port = sim->start(args);
    QVERIFY2(!port.isEmpty(), sim->errors().constData());
    if (link == Link::Auto) {
        QVERIFY(comListPorts().contains(QFileInfo(port).absoluteFilePath() + QLatin1Char(' ')
                                        + QLatin1String(LocalPortDescription)));
        store().setValue("Link/Driver", 0);
        store().setValue("Link/COMPort", "COM1");
    } else {
        store().setValue("Link/Driver", 1);
        store().setValue("Link/COMPort", port);
    }
}

void TestDeviceCommands::enableSafeWrites()
{
    QDir(backups::folder()).removeRecursively();
    store().setValue("Device/ReviewBeforeUpload", true);
    store().setValue("Device/Backups", true);
}

void TestDeviceCommands::trigger(MainWindow &window, const QString &action)
{
    QAction *a = actionNamed(window, action);
    QVERIFY2(a, qPrintable(action));
    a->trigger();
}

void TestDeviceCommands::identify_showsBothIdentifiers_data()
{
    QTest::addColumn<Link>("link");
    QTest::newRow("named serial port") << Link::Serial;
    QTest::newRow("automatic choice finds the registered port") << Link::Auto;
    QTest::newRow("USB-HID") << Link::Hid;
}

void TestDeviceCommands::identify_showsBothIdentifiers()
{
    QFETCH(Link, link);
    DeviceSetup setup;
    // Markers in the identifiers must come through as they are.
    setup.hardwareId = "HW%2-7";
    setup.softwareId = "SW%1-9";
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;

    MainWindow window;
    // Its HID commands talk to the simulated device; the real one, if any, is never asked.
    window.setHidBackend(hid.get());
    Responder responder(&window);
    trigger(window, ActId);

    QCOMPARE(responder.boxes.size(), 1);
    const Box &box = responder.boxes.first();
    QCOMPARE(box.seen.title, QStringLiteral("Information"));
    QCOMPARE(box.seen.text, QStringLiteral("Hardware ID: HW%2-7\nSoftware ID: SW%1-9"));
    QCOMPARE(box.seen.icon, QMessageBox::Information);
    QCOMPARE(box.seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.seen.parent, &window);
    // The box comes after the progress dialog is gone and before the worker is.
    QVERIFY(!box.progressAlive);
    QCOMPARE(box.workers, 1);
    QVERIFY(box.workerDone);
    QVERIFY(window.findChildren<Device *>().isEmpty());
    QVERIFY(window.findChildren<QProgressDialog *>().isEmpty());
    QVERIFY2(responder.unexpected.isEmpty(), qPrintable(responder.unexpected.join('|')));
    QVERIFY(!window.confTree()->format);
}

void TestDeviceCommands::download_installsDescriptionAndValues_data()
{
    QTest::addColumn<Link>("link");
    QTest::addColumn<bool>("fetched"); // description missing locally, served over HTTP

    QTest::newRow("serial, local description") << Link::Serial << false;
    QTest::newRow("automatic choice, local description") << Link::Auto << false;
    QTest::newRow("USB-HID, local description") << Link::Hid << false;
    QTest::newRow("serial, description fetched") << Link::Serial << true;
    QTest::newRow("USB-HID, description fetched") << Link::Hid << true;
}

void TestDeviceCommands::download_installsDescriptionAndValues()
{
    QFETCH(Link, link);
    QFETCH(bool, fetched);

    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(200, "OK", demoDescription));
    store().setValue(QLatin1String(DescriptionServerKey), server.address());
    if (!fetched)
        QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = demoImage;
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;

    MainWindow window;
    window.setHidBackend(hid.get());
    ConfTree *tree = window.confTree();
    Responder responder(&window);
    QString rowTextAtBox;
    responder.onBox = [&](QMessageBox *) {
        // The values are in the tree when the box reports them.
        if (QTreeWidgetItem *row = rowOf(tree, QStringLiteral("Address")))
            rowTextAtBox = row->text(1);
    };
    trigger(window, ActDownload);

    QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Transfer ok."));
    QCOMPARE(responder.boxes.first().seen.icon, QMessageBox::Information);
    QVERIFY(responder.progressDialogs <= 1);
    QVERIFY2(responder.unexpected.isEmpty(), qPrintable(responder.unexpected.join('|')));
    QVERIFY(tree->format);
    QCOMPARE(tree->formatId, QString::fromLatin1(DemoId));
    QCOMPARE(tree->format->pack().toHex(' '), demoImage.toHex(' '));
    QCOMPARE(tree->format->intValue(QStringLiteral("Address")), 12);
    QTreeWidgetItem *row = rowOf(tree, QStringLiteral("Address"));
    QVERIFY(row);
    QCOMPARE(row->text(1), tree->format->text(tree->format->idOf(QStringLiteral("Address"))));
    QVERIFY(row->text(1).startsWith(QLatin1String("12")));
    QCOMPARE(rowTextAtBox, row->text(1));
    // What was downloaded is the baseline: nothing is marked changed, the title names the device.
    QCOMPARE(tree->changedCount(), 0);
    QVERIFY(window.windowTitle().startsWith(QString::fromLatin1(DemoId)));
    if (fetched) {
        QVERIFY2(server.onlyRequested("GET /confxml2/VANT-DEMO-1.xml HTTP/1.1"),
                 server.requestLines().join('|').constData());
        QCOMPARE(readFile(QStringLiteral("confxml/VANT-DEMO-1.xml")), demoDescription);
    } else {
        QCOMPARE(server.connections(), 0);
    }
    QVERIFY(window.findChildren<Device *>().isEmpty());
}

void TestDeviceCommands::download_imageDoesNotFit_formatErrorAndRefresh_data()
{
    QTest::addColumn<Link>("link");
    QTest::addColumn<QByteArray>("image");

    QByteArray damaged = sourceFile(QStringLiteral("tools/devsim/demo-image.bin"));
    damaged[20] = char(damaged.at(20) ^ 0x01);
    QTest::newRow("serial, one data bit flipped") << Link::Serial << damaged;
    QTest::newRow("USB-HID, one data bit flipped") << Link::Hid << damaged;
    QTest::newRow("serial, image of another layout") << Link::Serial << makeImage(300, 5);
    QTest::newRow("USB-HID, image of another layout") << Link::Hid << makeImage(300, 5);
    QTest::newRow("serial, device holds no image") << Link::Serial << QByteArray();
}

void TestDeviceCommands::download_imageDoesNotFit_formatErrorAndRefresh()
{
    QFETCH(Link, link);
    QFETCH(QByteArray, image);

    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = image;
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;

    MainWindow window;
    window.setHidBackend(hid.get());
    ConfTree *tree = window.confTree();
    Responder responder(&window);
    QString rowTextAtBox;
    responder.onBox = [&](QMessageBox *) {
        if (QTreeWidgetItem *row = rowOf(tree, QStringLiteral("Address")))
            rowTextAtBox = row->text(1);
    };
    trigger(window, ActDownload);

    QCOMPARE(responder.boxTexts(), QStringLiteral("Error/Binary data format error."));
    QCOMPARE(responder.boxes.first().seen.icon, QMessageBox::Critical);
    QCOMPARE(responder.boxes.first().seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // The description is installed with its initial values, and the tree shows them again.
    QCOMPARE(tree->formatId, QString::fromLatin1(DemoId));
    QTreeWidgetItem *row = rowOf(tree, QStringLiteral("Address"));
    QVERIFY(row);
    QCOMPARE(row->text(1), tree->format->text(tree->format->idOf(QStringLiteral("Address"))));
    QCOMPARE(rowTextAtBox, row->text(1));
    // The messages pane tells what did not fit.
    QVERIFY(!window.messagesPane()->isHidden());
    QVERIFY2(window.messagesPane()->text().contains(QLatin1String("Error\t\tBad"))
                 || window.messagesPane()->text().contains(QLatin1String("Error\t\tConfig too small")),
             qPrintable(window.messagesPane()->text()));
}

void TestDeviceCommands::download_descriptionUnobtainable_treeUntouched_data()
{
    QTest::addColumn<Link>("link");
    QTest::addColumn<bool>("serverUp");
    QTest::newRow("serial, server answers 404") << Link::Serial << true;
    QTest::newRow("USB-HID, server answers 404") << Link::Hid << true;
    QTest::newRow("serial, no server listening") << Link::Serial << false;
}

void TestDeviceCommands::download_descriptionUnobtainable_treeUntouched()
{
    QFETCH(Link, link);
    QFETCH(bool, serverUp);

    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(CannedReply::make(404, "Not Found", "no such description"));
    QString address = server.address();
    if (!serverUp) {
        // A port that was free a moment ago: the connection is refused.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        address = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    }
    store().setValue(QLatin1String(DescriptionServerKey), address);
    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.softwareId = "VANT-NONE-2";
    setup.image = demoImage;
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;

    MainWindow window;
    window.setHidBackend(hid.get());
    ConfTree *tree = window.confTree();
    QVERIFY(tree->loadFormat(QString::fromLatin1(DemoId)));
    const ConfFormat *before = tree->format;
    QTreeWidgetItem *row = rowOf(tree, QStringLiteral("Address"));
    QVERIFY(row);
    row->setText(1, QStringLiteral("marked"));
    const QByteArray valuesBefore = tree->format->pack();

    Responder responder(&window);
    trigger(window, ActDownload);

    QCOMPARE(responder.boxTexts(), QStringLiteral("Error/Can't get device descriptor.\nNo Internet connection ?"));
    QCOMPARE(responder.boxes.first().seen.icon, QMessageBox::Critical);
    QCOMPARE(tree->format, before);
    QCOMPARE(tree->formatId, QString::fromLatin1(DemoId));
    QCOMPARE(tree->format->pack(), valuesBefore);
    QCOMPARE(rowOf(tree, QStringLiteral("Address")), row);
    QCOMPARE(row->text(1), QStringLiteral("marked")); // not refreshed
    QVERIFY(!QFile::exists(QStringLiteral("confxml/VANT-NONE-2.xml")));
    if (serverUp)
        QVERIFY2(server.onlyRequested("GET /confxml2/VANT-NONE-2.xml HTTP/1.1"),
                 server.requestLines().join('|').constData());
}

void TestDeviceCommands::upload_withoutDescription_warnsAndContactsNothing_data()
{
    QTest::addColumn<Link>("link");
    QTest::newRow("serial") << Link::Serial;
    QTest::newRow("USB-HID") << Link::Hid;
}

void TestDeviceCommands::upload_withoutDescription_warnsAndContactsNothing()
{
    QFETCH(Link, link);
    DeviceSetup setup;
    setup.image = demoImage;
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;

    MainWindow window;
    window.setHidBackend(hid.get());
    Responder responder(&window);
    trigger(window, ActUpload);

    QCOMPARE(responder.boxTexts(), QStringLiteral("Warning/No configuration to upload."));
    const Box &box = responder.boxes.first();
    QCOMPARE(box.seen.icon, QMessageBox::Warning);
    QCOMPARE(box.seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.seen.parent, &window);
    QCOMPARE(box.workers, 0);
    QCOMPARE(responder.maxWorkers, 0);
    QCOMPARE(responder.progressDialogs, 0);
    QCOMPARE(readFile(imagePath()), demoImage);
    if (link == Link::Hid) {
        QVERIFY(hid->opened.isEmpty());
        QVERIFY(hid->calls.isEmpty());
    } else {
        QCOMPARE(QFileInfo(serialLog()).size(), 0);
    }
}

void TestDeviceCommands::upload_imageSizeAgainstCapacity_data()
{
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<QString>("boxes");
    // The image is the data plus 4 bytes; the device holds 16384.
    QTest::newRow("exactly the capacity is sent") << 16380 << "Information/Transfer ok.";
    QTest::newRow("one byte over is refused")
        << 16381 << "Error/Configuration too large for the device.";
    QTest::newRow("far over is refused") << 40000 << "Error/Configuration too large for the device.";
}

void TestDeviceCommands::upload_imageSizeAgainstCapacity()
{
    QFETCH(int, dataSize);
    QFETCH(QString, boxes);

    const QByteArray description = QByteArrayLiteral("<D id=\"VANT-BIG-1\"><Format><byte name=\"first\"/>")
                                   + QByteArrayLiteral("<pad size=\"") + QByteArray::number(dataSize - 1)
                                   + QByteArrayLiteral("\"/></Format><Tree name=\"Big\"/></D>");
    QVERIFY(writeFile(QStringLiteral("confxml/VANT-BIG-1.xml"), description));
    DeviceSetup setup;
    setup.softwareId = "VANT-BIG-1";
    setup.image = demoImage;
    connectDevice(Link::Serial, setup);
    if (QTest::currentTestFailed())
        return;

    MainWindow window;
    window.setHidBackend(hid.get());
    ConfTree *tree = window.confTree();
    QVERIFY(tree->loadFormat(QStringLiteral("VANT-BIG-1")));
    QCOMPARE(tree->format->imageSize(), dataSize + 4);
    Responder responder(&window);
    trigger(window, ActUpload);

    QCOMPARE(responder.boxTexts(), boxes);
    if (boxes.startsWith(QLatin1String("Error"))) {
        QCOMPARE(responder.boxes.first().seen.icon, QMessageBox::Critical);
        QCOMPARE(responder.maxWorkers, 0);
        QCOMPARE(QFileInfo(serialLog()).size(), 0);
        QCOMPARE(readFile(imagePath()), demoImage);
    } else {
        QTRY_COMPARE(readFile(imagePath()).toHex(' '), tree->format->pack().toHex(' '));
    }
}

void TestDeviceCommands::resultCodes_eachHasItsBox_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");

    const int critical = QMessageBox::Critical;
    QTest::newRow("1 port cannot be opened") << ActId << "Error" << "COM-port error." << critical;
    QTest::newRow("2 no HID device") << ActId << "Error" << "Device not found." << critical;
    QTest::newRow("3 damaged firmware file") << ActFirmware << "Error" << "File error." << critical;
    QTest::newRow("4 device refuses the information request")
        << ActId << "Error" << "Protocol error." << critical;
    QTest::newRow("4 device silent on the serial line") << ActDownload << "Error" << "Protocol error." << critical;
    QTest::newRow("5 cancelled") << ActDownload << "Information" << "Transfer canceled."
                                 << int(QMessageBox::Information);
    QTest::newRow("6 device holds another format") << ActUpload << "Error"
                                                   << "Incompatible version of hardware/software." << critical;
    QTest::newRow("6 firmware for other hardware")
        << ActFirmware << "Error" << "Incompatible version of hardware/software." << critical;
}

void TestDeviceCommands::resultCodes_eachHasItsBox()
{
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, icon);
    const QString row = QString::fromLatin1(QTest::currentDataTag());

    QVERIFY(installDemoDescription());
    const QString firmwareFile = work->path() + QStringLiteral("/update.fw");
    QByteArray firmware = makeFirmware("VANT-HW-1", QByteArray(300, 'f'));
    DeviceSetup setup;
    setup.image = demoImage;
    if (row.startsWith(QLatin1String("1 "))) {
        store().setValue("Link/Driver", 1);
        store().setValue("Link/COMPort", work->path() + QStringLiteral("/no-such-port"));
    } else if (row.startsWith(QLatin1String("2 "))) {
        store().setValue("Link/Driver", 2); // and no interface plugged in
    } else if (row.startsWith(QLatin1String("3 "))) {
        firmware[40] = char(firmware.at(40) ^ 0x10);
        connectDevice(Link::Serial, setup);
    } else if (row.contains(QLatin1String("information request"))) {
        connectDevice(Link::Hid, setup);
        hid->faults = {{SimHidFaultKind::InfoRefused, 0}};
    } else if (row.contains(QLatin1String("silent"))) {
        setup.serialArgs = QStringList{"--fault", "silence"};
        connectDevice(Link::Serial, setup);
    } else if (row.startsWith(QLatin1String("5 "))) {
        connectDevice(Link::Hid, setup);
        hid->onCall = [](int) { QThread::msleep(3); };
    } else if (row.contains(QLatin1String("another format"))) {
        setup.softwareId = "VANT-DEMO-2";
        connectDevice(Link::Hid, setup);
    } else if (row.contains(QLatin1String("other hardware"))) {
        firmware = makeFirmware("VANT-HW-2", QByteArray(300, 'f'));
        connectDevice(Link::Serial, setup);
    }
    if (QTest::currentTestFailed())
        return;
    QVERIFY(writeFile(firmwareFile, firmware));

    MainWindow window;
    window.setHidBackend(hid.get());
    if (command == ActUpload)
        QVERIFY(window.confTree()->loadFormat(QString::fromLatin1(DemoId)));
    Responder responder(&window);
    responder.fileAnswer = firmwareFile;
    if (row.startsWith(QLatin1String("5 "))) {
        responder.onTransfer = [](QProgressDialog *progress) {
            if (progress->value() > 0 && !progress->wasCanceled())
                QTest::keyClick(progress, Qt::Key_Escape);
        };
    }
    trigger(window, command);

    QCOMPARE(responder.boxes.size(), 1);
    const Box &box = responder.boxes.first();
    QCOMPARE(box.seen.title, title);
    QCOMPARE(box.seen.text, text);
    QCOMPARE(int(box.seen.icon), icon);
    QCOMPARE(box.seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.seen.parent, &window);
    QVERIFY(!box.progressAlive);
    QVERIFY(box.workerDone);
    QVERIFY2(responder.unexpected.isEmpty(), qPrintable(responder.unexpected.join('|')));
    QVERIFY(window.findChildren<Device *>().isEmpty());
}

void TestDeviceCommands::cancel_fromProgressDialog_waitsForWorker_data()
{
    QTest::addColumn<Link>("link");
    QTest::newRow("serial download held up at block 6") << Link::Serial;
    QTest::newRow("USB-HID download") << Link::Hid;
}

void TestDeviceCommands::cancel_fromProgressDialog_waitsForWorker()
{
    QFETCH(Link, link);
    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = makeImage(2000, 3); // 16 serial blocks
    setup.serialArgs = QStringList{"--fault", "delay-block:6:1500"};
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;
    if (link == Link::Hid)
        hid->onCall = [](int) { QThread::msleep(3); };

    MainWindow window;
    window.setHidBackend(hid.get());
    Responder responder(&window);
    bool clicked = false;
    QString cancelText;
    responder.onTransfer = [&](QProgressDialog *progress) {
        if (clicked || progress->value() <= 0)
            return;
        QPushButton *cancel = progress->findChild<QPushButton *>();
        if (!cancel)
            return;
        clicked = true;
        cancelText = cancel->text();
        QTest::mouseClick(cancel, Qt::LeftButton);
    };
    QElapsedTimer took;
    took.start();
    trigger(window, ActDownload);

    QVERIFY2(clicked, qPrintable(QStringLiteral("progress %1, %2 ms, modals %3, boxes %4")
                                     .arg(responder.maxProgress)
                                     .arg(took.elapsed())
                                     .arg(responder.modals.join('|'), responder.boxTexts())));
    QCOMPARE(cancelText, QStringLiteral("Cancel"));
    QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Transfer canceled."));
    QCOMPARE(responder.boxes.first().seen.icon, QMessageBox::Information);
    // The wait ended only with the worker, and nothing was loaded.
    QVERIFY(responder.boxes.first().workerDone);
    QVERIFY(!window.confTree()->format);
    if (link == Link::Hid)
        QCOMPARE(hid->closedIndices.size(), hid->opened.size());
}

void TestDeviceCommands::transferRunning_noSecondCommandNorLinkSettings()
{
    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = demoImage;
    connectDevice(Link::Hid, setup);
    if (QTest::currentTestFailed())
        return;
    hid->onCall = [](int) { QThread::msleep(3); };
    // A firmware file to pick, should the command get as far as asking.
    const QString firmwareFile = work->path() + QStringLiteral("/update.fw");
    QVERIFY(writeFile(firmwareFile, makeFirmware("VANT-HW-1", QByteArray(64, 'x'))));

    MainWindow window;
    window.setHidBackend(hid.get());
    QVERIFY(window.confTree()->loadFormat(QString::fromLatin1(DemoId)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QStringList commands{ActId, ActDownload, ActUpload, ActFirmware, ActLink};
    QList<std::shared_ptr<QSignalSpy>> spies;
    for (const QString &c : commands)
        spies << std::make_shared<QSignalSpy>(actionNamed(window, c), &QAction::triggered);

    Responder responder(&window);
    responder.fileAnswer = firmwareFile;
    bool pressed = false;
    int keyTriggers = -1;
    responder.onTransfer = [&](QProgressDialog *progress) {
        if (pressed || progress->value() <= 0)
            return;
        pressed = true;
        // The keys as a user presses them, after bringing the window to the front.
        window.activateWindow();
        QApplication::processEvents();
        for (const Qt::Key key : {Qt::Key_I, Qt::Key_D, Qt::Key_U, Qt::Key_R, Qt::Key_C}) {
            QTest::keyClick(&window, key, Qt::ControlModifier);
            QTest::keyClick(window.confTree(), key, Qt::ControlModifier);
        }
        keyTriggers = 0;
        for (const auto &spy : spies)
            keyTriggers += int(spy->size());
        // And the actions themselves, as anything that reaches the slots would.
        for (const QString &c : commands)
            actionNamed(window, c)->trigger();
    };
    trigger(window, ActDownload);

    QVERIFY(pressed);
    // Modal to the window: its menus and shortcuts are out of reach while the transfer runs.
    QCOMPARE(responder.progressModality, Qt::WindowModal);
    QCOMPARE(keyTriggers, 0);
    QCOMPARE(responder.maxWorkers, 1);
    QCOMPARE(hid->opened.size(), 1);
    QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Transfer ok."));
    QCOMPARE(responder.modals.filter(QStringLiteral("QProgressDialog")).size(), responder.modals.size() - 1);
    QVERIFY2(responder.unexpected.isEmpty(), qPrintable(responder.unexpected.join('|')));
    QVERIFY(responder.fileCaption.isEmpty());

    // Once the transfer is over, the next command runs.
    hid->onCall = nullptr;
    responder.onTransfer = nullptr;
    responder.boxes.clear();
    trigger(window, ActId);
    QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Hardware ID: VANT-HW-1\nSoftware ID: VANT-DEMO-1"));
}

void TestDeviceCommands::driverChange_appliesToNextCommand()
{
    DeviceSetup serialDevice;
    serialDevice.hardwareId = "HW-SERIAL";
    connectDevice(Link::Auto, serialDevice); // registered, so the dialog lists it
    if (QTest::currentTestFailed())
        return;
    store().clear();
    hidModel->hardwareId = "HW-HID";
    const QString entry = QFileInfo(sim->port).absoluteFilePath() + QLatin1Char(' ')
                          + QLatin1String(LocalPortDescription);

    MainWindow window;
    window.setHidBackend(hid.get());
    // Choose in the link settings dialog, then read the identifiers.
    const auto chooseAndIdentify = [&](int driver, const QString &portEntry) -> QString {
        QString preselected;
        {
            ModalDriver dialogDriver;
            dialogDriver.then([&](QWidget *modal) {
                auto *driverCombo = modal->findChild<QComboBox *>(QStringLiteral("comboDriver"));
                auto *portCombo = modal->findChild<QComboBox *>(QStringLiteral("comboPort"));
                preselected = portCombo->currentText();
                driverCombo->setCurrentIndex(driver);
                if (!portEntry.isEmpty())
                    portCombo->setCurrentIndex(portCombo->findText(portEntry));
                gui::click(modal, QDialogButtonBox::Ok);
            });
            actionNamed(window, ActLink)->trigger();
            if (!dialogDriver.unexpected.isEmpty() || dialogDriver.pendingSteps() != 0)
                return QStringLiteral("link dialog not answered");
        }
        Responder responder(&window);
        actionNamed(window, ActId)->trigger();
        return preselected + QLatin1String(" -> ") + responder.boxTexts();
    };

    hid->interfaces = {SimHidInterface()};
    const QString viaSerial = QLatin1String(" -> Information/Hardware ID: HW-SERIAL\nSoftware ID: VANT-DEMO-1");
    const QString viaHid = QLatin1String(" -> Information/Hardware ID: HW-HID\nSoftware ID: VANT-DEMO-1");
    const QString first = comListPorts().first();
    // A HID device is present throughout, so only the chosen driver decides the link.
    QCOMPARE(chooseAndIdentify(1, entry), first + viaSerial);
    QCOMPARE(chooseAndIdentify(2, QString()), entry + viaHid);
    QCOMPARE(chooseAndIdentify(1, QString()), entry + viaSerial);
    QCOMPARE(chooseAndIdentify(0, QString()), entry + viaHid); // automatic: HID first
    hid->interfaces.clear();
    QCOMPARE(chooseAndIdentify(0, QString()), entry + viaSerial); // automatic: the registered port
    QCOMPARE(store().value("Link/COMPort").toString(), QFileInfo(sim->port).absoluteFilePath());
}

void TestDeviceCommands::driverOutOfRange_actsAsHid()
{
    DeviceSetup setup;
    setup.hardwareId = "HW-SERIAL";
    connectDevice(Link::Serial, setup);
    if (QTest::currentTestFailed())
        return;
    hidModel->hardwareId = "HW-HID";
    hid->interfaces = {SimHidInterface()};
    for (const int driver : {3, 7, -1}) {
        store().setValue("Link/Driver", driver);
        MainWindow window;
        window.setHidBackend(hid.get());
        Responder responder(&window);
        trigger(window, ActId);
        QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Hardware ID: HW-HID\nSoftware ID: VANT-DEMO-1"));
    }
    QCOMPARE(QFileInfo(serialLog()).size(), 0);
}

void TestDeviceCommands::roundTrip_downloadEditUpload_readBackEqual_data()
{
    QTest::addColumn<Link>("link");
    QTest::newRow("serial") << Link::Serial;
    QTest::newRow("automatic choice") << Link::Auto;
    QTest::newRow("USB-HID") << Link::Hid;
}

void TestDeviceCommands::roundTrip_downloadEditUpload_readBackEqual()
{
    QFETCH(Link, link);
    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = demoImage;
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;

    QByteArray edited;
    {
        MainWindow window;
        window.setHidBackend(hid.get());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ConfTree *tree = window.confTree();
        Responder responder(&window);
        trigger(window, ActDownload);
        QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Transfer ok."));

        // Edit one value the way the user does: double-click its row, type a new number.
        QTreeWidgetItem *row = rowOf(tree, QStringLiteral("Address"));
        QVERIFY(row);
        QVERIFY(row->text(1).startsWith(QLatin1String("12")));
        tree->scrollToItem(row);
        responder.onInput = [](QInputDialog *input) {
            input->setTextValue(QStringLiteral("77"));
            input->accept();
        };
        const QPoint at = tree->visualItemRect(row).center();
        QVERIFY(!at.isNull());
        // A click, then the second press arriving as a double-click, as the window system sends them.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(tree->format->intValue(QStringLiteral("Address")), 77);
        QCOMPARE(row->text(1), tree->format->text(tree->format->idOf(QStringLiteral("Address"))));
        edited = tree->format->pack();
        QVERIFY(edited != demoImage);

        trigger(window, ActUpload);
        QCOMPARE(responder.boxTexts(),
                 QStringLiteral("Information/Transfer ok. | Information/Transfer ok."));
    }
    // The device stores the image once the transfer has ended on the program's side.
    QTRY_COMPARE(readFile(imagePath()).toHex(' '), edited.toHex(' '));

    // A fresh window reads the device back.
    MainWindow window;
    window.setHidBackend(hid.get());
    Responder responder(&window);
    trigger(window, ActDownload);
    QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Transfer ok."));
    QCOMPARE(window.confTree()->format->pack().toHex(' '), edited.toHex(' '));
    QCOMPARE(window.confTree()->format->intValue(QStringLiteral("Address")), 77);
    QVERIFY(rowOf(window.confTree(), QStringLiteral("Address"))->text(1).startsWith(QLatin1String("77")));
}

void TestDeviceCommands::firmware_data()
{
    QTest::addColumn<Link>("link");
    QTest::addColumn<bool>("chooseFile");
    QTest::newRow("serial") << Link::Serial << true;
    QTest::newRow("USB-HID") << Link::Hid << true;
    QTest::newRow("serial, file dialog cancelled") << Link::Serial << false;
    QTest::newRow("USB-HID, file dialog cancelled") << Link::Hid << false;
}

void TestDeviceCommands::firmware()
{
    QFETCH(Link, link);
    QFETCH(bool, chooseFile);

    QByteArray payload(1000, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 11 + 5);
    const QString firmwareFile = work->path() + QStringLiteral("/update.fw");
    QVERIFY(writeFile(firmwareFile, makeFirmware("VANT-HW-1", payload)));
    DeviceSetup setup;
    setup.image = demoImage;
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;

    MainWindow window;
    window.setHidBackend(hid.get());
    Responder responder(&window);
    responder.fileAnswer = chooseFile ? firmwareFile : QString();
    trigger(window, ActFirmware);

    QCOMPARE(responder.fileCaption, QStringLiteral("Open file"));
    QCOMPARE(responder.fileFilters, QStringList{QStringLiteral("Firmware files (*.fw)")});
    if (!chooseFile) {
        QCOMPARE(responder.boxes.size(), 0);
        QCOMPARE(responder.maxWorkers, 0);
        QCOMPARE(responder.progressDialogs, 0);
        if (link == Link::Hid)
            QVERIFY(hid->calls.isEmpty());
        else
            QCOMPARE(QFileInfo(serialLog()).size(), 0);
        return;
    }
    QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Transfer ok."));
    // The device keeps the blocks as they came, the last one filled up with 0xFF.
    // The program does not wait for the device to store what it got after the last byte.
    QTRY_VERIFY(QFile::exists(firmwareSink()));
    const QByteArray received = readFile(firmwareSink());
    QCOMPARE(received.left(payload.size()).toHex(' '), payload.toHex(' '));
    QCOMPARE(received.mid(payload.size()), QByteArray(received.size() - payload.size(), char(0xFF)));
}


namespace {

// The rows of a dialog's list, each as its columns joined by tabs.
QStringList listRows(const QTreeWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        QStringList columns;
        for (int c = 0; c < item->columnCount(); ++c)
            columns << item->text(c);
        rows << columns.join(QLatin1Char('\t'));
    }
    return rows;
}

// Answers review dialogs with `accept`, recording each one's summary and rows.
struct ReviewSeen {
    QStringList summaries;
    QStringList rows;
};

std::function<bool(QDialog *)> answerReview(ReviewSeen *seen, bool accept)
{
    return [seen, accept](QDialog *dialog) {
        auto *review = qobject_cast<ReviewDialog *>(dialog);
        if (!review)
            return false;
        seen->summaries << review->summary()->text();
        seen->rows << listRows(review->list());
        accept ? review->accept() : review->reject();
        return true;
    };
}

// Sets one variable as an accepted edit does.
void setAddress(ConfTree *tree, int value)
{
    tree->format->varByName(QStringLiteral("Address"))->value = value;
    tree->valuesChanged({QStringLiteral("Address")});
}

} // namespace

void TestDeviceCommands::review_listsTheChanges_data()
{
    QTest::addColumn<Link>("link");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QByteArray>("deviceId");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("boxes"); // after the download's

    const QString one = QStringLiteral("Values that will change on the device: 1");
    const QString ok = QStringLiteral(" | Information/Transfer ok.");
    QTest::newRow("serial, upload") << Link::Serial << true << true << QByteArray(DemoId) << one << ok;
    QTest::newRow("USB-HID, upload") << Link::Hid << true << true << QByteArray(DemoId) << one << ok;
    QTest::newRow("serial, cancelled") << Link::Serial << true << false << QByteArray(DemoId) << one << "";
    QTest::newRow("nothing differs") << Link::Serial << false << true << QByteArray(DemoId)
                                     << "The device already holds these values." << ok;
    // The device says it holds another format: the review says why, and the device refuses
    // what it is sent anyway.
    QTest::newRow("another format") << Link::Serial << true << true << QByteArray("VANT-OTHER-2")
                                     << "The values on the device cannot be compared: the device has the configuration "
                                        "of VANT-OTHER-2, the values to be written are of VANT-DEMO-1."
                                     << " | Error/" + deviceResultMessage(Incompatible);
}

void TestDeviceCommands::review_listsTheChanges()
{
    QFETCH(Link, link);
    QFETCH(bool, edit);
    QFETCH(bool, accept);
    QFETCH(QByteArray, deviceId);
    QFETCH(QString, summary);
    QFETCH(QString, boxes);
    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = demoImage;
    connectDevice(link, setup);
    if (QTest::currentTestFailed())
        return;
    enableSafeWrites();

    MainWindow window;
    window.setHidBackend(hid.get());
    Responder responder(&window);
    ReviewSeen seen;
    responder.onDialog = answerReview(&seen, accept);
    trigger(window, ActDownload);
    ConfTree *tree = window.confTree();
    const QString before = tree->format->text(tree->format->idOf(QStringLiteral("Address")));
    if (edit)
        setAddress(tree, 77);
    const QString after = tree->format->text(tree->format->idOf(QStringLiteral("Address")));
    const QByteArray written = tree->format->pack();
    // Only now does the device change its identity, so the download above found its description.
    if (link == Link::Serial && deviceId != DemoId) {
        sim.reset();
        sim = std::make_unique<SimProcess>();
        setup.softwareId = deviceId;
        connectDevice(link, setup);
    }
    trigger(window, ActUpload);

    QCOMPARE(seen.summaries, QStringList{summary});
    QCOMPARE(seen.rows, edit && deviceId == DemoId
                            ? QStringList{QStringLiteral("Address\t") + before + QLatin1Char('\t') + after}
                            : QStringList());
    QVERIFY2(responder.unexpected.isEmpty(), qPrintable(responder.unexpected.join('|')));
    // One backup on the download, one before the upload, each the device's image as it was.
    const QList<backups::Backup> kept = backups::list(QStringLiteral("VANT-HW-1"));
    QCOMPARE(kept.size(), 2);
    for (const backups::Backup &b : kept)
        QCOMPARE(readFile(b.path).toHex(' '), demoImage.toHex(' '));
    const bool wrote = accept && deviceId == DemoId;
    QTRY_COMPARE(readFile(imagePath()).toHex(' '), (wrote ? written : demoImage).toHex(' '));
    QCOMPARE(responder.boxTexts(), QStringLiteral("Information/Transfer ok.") + boxes);
    QCOMPARE(tree->changedCount(), edit && !wrote ? 1 : 0);
}

void TestDeviceCommands::backupReadFails_nothingWritten_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("upload") << ActUpload;
    QTest::newRow("firmware") << ActFirmware;
}

void TestDeviceCommands::backupReadFails_nothingWritten()
{
    QFETCH(QString, action);
    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = demoImage;
    // The device breaks off the first block it sends, and only that: the read fails.
    setup.serialArgs = QStringList{"--fault", "can-block:1"};
    connectDevice(Link::Serial, setup);
    if (QTest::currentTestFailed())
        return;
    QDir(backups::folder()).removeRecursively();
    store().setValue("Device/Backups", true);
    const QString firmware = work->path() + QStringLiteral("/good.fw");
    QVERIFY(writeFile(firmware, makeFirmware("VANT-HW-1", QByteArray(64, 'f'))));

    MainWindow window;
    window.setHidBackend(hid.get());
    window.confTree()->loadFormatFile(QStringLiteral("confxml/VANT-DEMO-1.xml"), QString::fromLatin1(DemoId));
    setAddress(window.confTree(), 77);
    Responder responder(&window);
    responder.fileAnswer = firmware;
    trigger(window, action);
    QCOMPARE(responder.boxes.size(), 1);
    QCOMPARE(responder.boxes.first().seen.title, QStringLiteral("Error"));
    QVERIFY(backups::list(QStringLiteral("VANT-HW-1")).isEmpty());
    QTest::qWait(200);
    QCOMPARE(readFile(imagePath()).toHex(' '), demoImage.toHex(' '));
    QVERIFY(!QFile::exists(firmwareSink()));
}

void TestDeviceCommands::restore_putsTheDeviceBack()
{
    QVERIFY(installDemoDescription());
    DeviceSetup setup;
    setup.image = demoImage;
    connectDevice(Link::Serial, setup);
    if (QTest::currentTestFailed())
        return;
    enableSafeWrites();

    MainWindow window;
    window.setHidBackend(hid.get());
    Responder responder(&window);
    ReviewSeen seen;
    responder.onDialog = answerReview(&seen, true);
    trigger(window, ActDownload);
    setAddress(window.confTree(), 77);
    trigger(window, ActUpload);
    QTRY_VERIFY(readFile(imagePath()) != demoImage);

    QStringList chooserRows;
    int preselected = -1;
    responder.onDialog = [&](QDialog *dialog) {
        if (auto *chooser = qobject_cast<BackupChooser *>(dialog)) {
            chooserRows = listRows(chooser->list());
            preselected = chooser->chosen();
            chooser->accept();
            return true;
        }
        return answerReview(&seen, true)(dialog);
    };
    seen = ReviewSeen();
    trigger(window, QStringLiteral("Restore &backup..."));
    // Both backups hold the image from before the upload: one value differs from the device.
    QCOMPARE(chooserRows.size(), 2);
    QCOMPARE(preselected, 0);
    for (const QString &row : chooserRows)
        QVERIFY2(row.endsWith(QStringLiteral("\tVANT-DEMO-1\t1")), qPrintable(row));
    QCOMPARE(seen.rows.size(), 1);
    QVERIFY2(seen.rows.first().startsWith(QStringLiteral("Address\t77")), qPrintable(seen.rows.first()));
    QTRY_COMPARE(readFile(imagePath()).toHex(' '), demoImage.toHex(' '));
    // The configuration it replaced was kept too.
    QCOMPARE(backups::list(QStringLiteral("VANT-HW-1")).size(), 3);
    QVERIFY2(responder.unexpected.isEmpty(), qPrintable(responder.unexpected.join('|')));
}

VANT_GUI_TEST_MAIN(TestDeviceCommands)
#include "tst_devicecommands.moc"
