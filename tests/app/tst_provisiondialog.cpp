// Device > Provision...: several simulated devices written at once from the window's dialog.
#include "app/provisiondialog.h"

#include "device/device.h"
#include "device/sim/simhid.h"
#include "format/confformat.h"
#include "tests/download/fetchtestutil.h"
#include "tests/support/guitest.h"
#include "tests/support/simprocess.h"
#include "tree/descriptionfile.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>

class TestProvisionDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void writesEveryDevice_numbered_andReports();
    void cancel_endsEveryDevice();

private:
    // Starts `count` registered simulators, each with the demo image, and returns their images.
    QStringList startDevices(int count, const QStringList &extra = {});

    QTemporaryDir registry;
    std::unique_ptr<WorkDir> work;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::unique_ptr<ConfFormat> demo;
    SimDevice hidModel;
    std::unique_ptr<SimHid> hid;
};

void TestProvisionDialog::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_DEVSIM").isEmpty(), "VANT_DEVSIM is not set");
    QVERIFY(registry.isValid());
    // Only the simulators of this test are found.
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
}

void TestProvisionDialog::init()
{
    work = std::make_unique<WorkDir>();
    QVERIFY(work->isValid());
    QVERIFY(QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/confxml/VANT-DEMO-1.xml"),
                        QStringLiteral("confxml/VANT-DEMO-1.xml")));
    QString why;
    demo = readDescriptionFormat(QStringLiteral("VANT-DEMO-1"), {}, &why);
    QVERIFY2(demo, qPrintable(why));
    // No HID device: the real one, if any, is never asked.
    hid = std::make_unique<SimHid>(hidModel);
    hid->interfaces.clear();
}

void TestProvisionDialog::cleanup()
{
    sims.clear();
    work.reset();
}

QStringList TestProvisionDialog::startDevices(int count, const QStringList &extra)
{
    QStringList images;
    for (int i = 0; i < count; ++i) {
        const QString image = work->path() + QStringLiteral("/device%1.bin").arg(i);
        QFile::copy(QStringLiteral(VANT_SOURCE_DIR "/tools/devsim/demo-image.bin"), image);
        sims.push_back(std::make_unique<SimProcess>());
        const QString port = sims.back()->start(QStringList{"--image", image, "--register"} + extra);
        if (port.isEmpty())
            return {};
        images << image;
    }
    return images;
}

void TestProvisionDialog::writesEveryDevice_numbered_andReports()
{
    const QStringList images = startDevices(2, {QStringLiteral("--no-pace")});
    QCOMPARE(images.size(), 2);
    demo->varByName(QStringLiteral("Address"))->value = 3;
    ProvisionDialog dialog(demo.get(), {}, hid.get());
    QCOMPARE(dialog.deviceList()->topLevelItemCount(), 2);
    dialog.sequenceVariable()->setCurrentText(QStringLiteral("Address"));
    QCOMPARE(dialog.sequenceVariable()->currentText(), QStringLiteral("Address"));
    dialog.sequenceStart()->setValue(10);
    QVERIFY(dialog.startProvisioning());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRunning(), 20000);

    // The window's values are left as they were; each device holds its own number.
    QCOMPARE(demo->intValue(QStringLiteral("Address")), 3);
    QStringList addresses;
    for (const QString &image : images) {
        QTRY_VERIFY(readFile(image) != readFile(QStringLiteral(VANT_SOURCE_DIR "/tools/devsim/demo-image.bin")));
        const QByteArray bytes = readFile(image);
        QVERIFY(demo->unpack(reinterpret_cast<const uchar *>(bytes.constData()), int(bytes.size())));
        addresses << QString::number(demo->intValue(QStringLiteral("Address")));
    }
    addresses.sort();
    QCOMPARE(addresses, (QStringList{QStringLiteral("10"), QStringLiteral("11")}));

    const QStringList lines = dialog.report().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields[0], dialog.deviceList()->topLevelItem(i)->text(0));
        QCOMPARE(fields[1], QStringLiteral("0"));
        QCOMPARE(fields[3], QStringLiteral("VANT-DEMO-1"));
        QVERIFY2(QFile::exists(fields[5]), qPrintable(fields[5])); // the backup
        QCOMPARE(fields[6], QStringLiteral("Transfer ok."));
        QCOMPARE(dialog.deviceList()->topLevelItem(i)->text(2), QStringLiteral("Transfer ok."));
    }
    dialog.saveReport(QStringLiteral("report.tsv"));
    QCOMPARE(QString::fromUtf8(readFile(QStringLiteral("report.tsv"))), dialog.report());
}

void TestProvisionDialog::cancel_endsEveryDevice()
{
    // Devices that take their time to answer: Cancel has to end them, not wait.
    const QStringList images = startDevices(2, {QStringLiteral("--no-pace"), QStringLiteral("--fault"),
                                                QStringLiteral("delay-id:5000")});
    QCOMPARE(images.size(), 2);
    ProvisionDialog dialog(demo.get(), {}, hid.get());
    QVERIFY(dialog.startProvisioning());
    QTest::qWait(300);
    QVERIFY(dialog.isRunning());
    dialog.reject();
    // The devices would answer after 5 s; every one has stopped well before.
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRunning(), 3000);
    const QStringList lines = dialog.report().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    for (const QString &line : lines)
        QCOMPARE(line.section(QLatin1Char('\t'), 1, 1), QString::number(Canceled));
    for (const QString &image : images)
        QCOMPARE(readFile(image), readFile(QStringLiteral(VANT_SOURCE_DIR "/tools/devsim/demo-image.bin")));
}

VANT_GUI_TEST_MAIN(TestProvisionDialog)
#include "tst_provisiondialog.moc"
