// The link settings: the form as built on a dialog, the port preselection, and what the
// window's "Link settings" command stores, with COM-like ports listed through the port registry.
#include "app/comdialog.h"
#include "app/mainwindow.h"
#include "device/portlist.h"
#include "tests/download/fetchtestutil.h"
#include "tests/support/guitest.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTranslator>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

QSettings store()
{
    return QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"));
}

// Answers every source text of one context with a marked text, so a test sees which
// texts are translated in which context.
class MarkingTranslator : public QTranslator
{
public:
    explicit MarkingTranslator(const char *context) : context(context) {}
    bool isEmpty() const override { return false; }
    QString translate(const char *ctx, const char *source, const char *, int) const override
    {
        if (qstrcmp(ctx, context) != 0)
            return QString();
        return QStringLiteral("<") + QString::fromUtf8(source) + QStringLiteral(">");
    }

private:
    const char *context;
};

QAction *linkSettingsAction(MainWindow &window)
{
    const auto actions = window.findChildren<QAction *>();
    for (QAction *a : actions) {
        if (a->text() == QLatin1String("&Link settings"))
            return a;
    }
    return nullptr;
}

// What the dialog showed when it opened.
struct DialogSeen
{
    bool seen = false;
    int driverIndex = -2;
    QString portText;
    QStringList portItems;
    QString objectName;
    QWidget *parent = nullptr;
};

} // namespace

class TestComDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void form_widgetsAtTheirPlaces_data();
    void form_widgetsAtTheirPlaces();
    void form_titleButtonsAndDriverItems();
    void form_keepsAGivenObjectName();
    void form_textsInTheirOwnContext();
    void form_retranslateRefillsDriversWithTheSameIndices();
    void form_russian_sameDriverOrder();
    void form_buttonsAcceptAndReject_data();
    void form_buttonsAcceptAndReject();

    void preselectedPort_data();
    void preselectedPort();
    void portNameOf_data();
    void portNameOf();

    void command_preselection_data();
    void command_preselection();
    void command_ok_storesDriverAndPortNameOnly_data();
    void command_ok_storesDriverAndPortNameOnly();
    void command_cancel_storesNothing();
    void command_emptiedPortField_storesEmptyName();

private:
    // Lists one port in the registry: `name` must exist relative to the working directory,
    // and each registry entry needs a live process of its own.
    void registerPorts(const QStringList &lines);
    DialogSeen runDialog(MainWindow &window, const std::function<void(QDialog *)> &act);

    QTemporaryDir registry;
    std::unique_ptr<WorkDir> work;
    std::vector<std::unique_ptr<QProcess>> holders;
};

void TestComDialog::initTestCase()
{
    QVERIFY2(store().fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")),
             qPrintable(store().fileName()));
    QVERIFY(registry.isValid());
    qputenv("VANT_PORT_REGISTRY", QFile::encodeName(registry.path()));
}

void TestComDialog::cleanupTestCase()
{
    qunsetenv("VANT_PORT_REGISTRY");
}

void TestComDialog::init()
{
    store().clear();
    store().sync();
    work = std::make_unique<WorkDir>(false);
    QVERIFY(work->isValid());
}

void TestComDialog::cleanup()
{
    for (const QString &f : QDir(registry.path()).entryList(QDir::Files))
        QFile::remove(registry.path() + QLatin1Char('/') + f);
    for (auto &p : holders) {
        p->kill();
        p->waitForFinished(2000);
    }
    holders.clear();
    work.reset();
}

void TestComDialog::registerPorts(const QStringList &lines)
{
    // The registry lists its files by name, so the entries get pids in ascending text order.
    std::vector<qint64> pids;
    for (int i = 0; i < lines.size(); ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral("sleep"), {QStringLiteral("300")});
        QVERIFY(p->waitForStarted(5000));
        pids.push_back(p->processId());
        holders.push_back(std::move(p));
    }
    std::sort(pids.begin(), pids.end(),
              [](qint64 a, qint64 b) { return QString::number(a) < QString::number(b); });
    for (int i = 0; i < lines.size(); ++i) {
        const QString name = lines.at(i).section(QLatin1Char(' '), 0, 0);
        QVERIFY(writeFile(name, QByteArray())); // the port path must exist
        QVERIFY(writeFile(registry.path() + QStringLiteral("/%1.port").arg(pids[size_t(i)]),
                          lines.at(i).toLocal8Bit() + '\n'));
    }
}

DialogSeen TestComDialog::runDialog(MainWindow &window, const std::function<void(QDialog *)> &act)
{
    DialogSeen seen;
    ModalDriver driver;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QDialog *>(modal);
        auto *driverCombo = modal->findChild<QComboBox *>(QStringLiteral("comboDriver"));
        auto *portCombo = modal->findChild<QComboBox *>(QStringLiteral("comboPort"));
        if (!dialog || !driverCombo || !portCombo) {
            modal->close();
            return;
        }
        seen.seen = true;
        seen.objectName = modal->objectName();
        seen.parent = modal->parentWidget();
        seen.driverIndex = driverCombo->currentIndex();
        seen.portText = portCombo->currentText();
        for (int i = 0; i < portCombo->count(); ++i)
            seen.portItems << portCombo->itemText(i);
        act(dialog);
    });
    QAction *action = linkSettingsAction(window);
    if (!action)
        return seen;
    action->trigger();
    if (!driver.unexpected.isEmpty())
        seen.seen = false;
    return seen;
}

void TestComDialog::form_widgetsAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("row");    // 0 driver, 1 port, 2 buttons
    QTest::addColumn<int>("column"); // 0 label, 1 field
    QTest::addColumn<QString>("text");

    QTest::newRow("driver label upper row") << "label_4" << "QLabel" << 0 << 0 << "Driver:";
    QTest::newRow("driver combo upper row") << "comboDriver" << "QComboBox" << 0 << 1 << "";
    QTest::newRow("port label lower row") << "label" << "QLabel" << 1 << 0 << "COM-port:";
    QTest::newRow("port combo lower row") << "comboPort" << "QComboBox" << 1 << 1 << "";
    QTest::newRow("buttons below both rows") << "buttonBox" << "QDialogButtonBox" << 2 << 0 << "";
}

void TestComDialog::form_widgetsAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);

    QDialog dialog;
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QWidget *w = dialog.findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), &dialog);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);

    // Rows from top to bottom, each label left of its field, nothing outside the dialog or
    // over another widget, whatever sizes the layout chose.
    const QList<QWidget *> rows{ui.label_4, ui.label, ui.buttonBox};
    const QList<QWidget *> fields{ui.comboDriver, ui.comboPort};
    QVERIFY(dialog.rect().contains(w->geometry()));
    if (row > 0)
        QVERIFY(w->geometry().top() >= rows[row - 1]->geometry().bottom());
    if (row < 2 && column == 0)
        QVERIFY(w->geometry().right() < fields[row]->geometry().left());
    for (QWidget *other : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (other != w && other->isVisible())
            QVERIFY2(!other->geometry().intersects(w->geometry()), qPrintable(other->objectName()));
    }
}

void TestComDialog::form_titleButtonsAndDriverItems()
{
    QDialog dialog;
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    QCOMPARE(dialog.objectName(), QStringLiteral("COMDialog"));
    QCOMPARE(dialog.size(), QSize(337, 103));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Link settings"));
    QCOMPARE(ui.buttonBox->orientation(), Qt::Horizontal);
    QCOMPARE(ui.buttonBox->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QVERIFY(ui.comboPort->isEditable());
    QVERIFY(!ui.comboDriver->isEditable());
    QCOMPARE(ui.comboPort->count(), 0);
    QStringList drivers;
    for (int i = 0; i < ui.comboDriver->count(); ++i)
        drivers << ui.comboDriver->itemText(i);
    QCOMPARE(drivers, (QStringList{"Auto", "USB-Serial", "USB-HID"}));
    // Creation order is the tab order of a generated form.
    const QStringList order{"buttonBox", "label", "comboPort", "label_4", "comboDriver"};
    QStringList children;
    for (QObject *c : dialog.children()) {
        if (order.contains(c->objectName()))
            children << c->objectName();
    }
    QCOMPARE(children, order);
}

void TestComDialog::form_keepsAGivenObjectName()
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("linkDialog"));
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    QCOMPARE(dialog.objectName(), QStringLiteral("linkDialog"));
}

void TestComDialog::form_textsInTheirOwnContext()
{
    MarkingTranslator wrongContext("MainWindow");
    MarkingTranslator ownContext("COMDialog");
    QVERIFY(QCoreApplication::installTranslator(&wrongContext));
    {
        QDialog dialog;
        Ui::COMDialog ui;
        ui.setupUi(&dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Link settings"));
    }
    QVERIFY(QCoreApplication::installTranslator(&ownContext));
    QDialog dialog;
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    QCoreApplication::removeTranslator(&ownContext);
    QCoreApplication::removeTranslator(&wrongContext);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("<Link settings>"));
    QCOMPARE(ui.label->text(), QStringLiteral("<COM-port:>"));
    QCOMPARE(ui.label_4->text(), QStringLiteral("<Driver:>"));
    QCOMPARE(ui.comboDriver->itemText(0), QStringLiteral("<Auto>"));
    QCOMPARE(ui.comboDriver->itemText(1), QStringLiteral("<USB-Serial>"));
    QCOMPARE(ui.comboDriver->itemText(2), QStringLiteral("<USB-HID>"));
}

void TestComDialog::form_retranslateRefillsDriversWithTheSameIndices()
{
    QDialog dialog;
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    ui.retranslateUi(&dialog);
    ui.retranslateUi(&dialog);
    QCOMPARE(ui.comboDriver->count(), 3);
    QCOMPARE(ui.comboDriver->itemText(0), QStringLiteral("Auto"));
    QCOMPARE(ui.comboDriver->itemText(2), QStringLiteral("USB-HID"));
}

void TestComDialog::form_russian_sameDriverOrder()
{
    QTranslator russian;
    QVERIFY(russian.load(QStringLiteral("vant-conf_ru"), QStringLiteral(VANT_BINARY_DIR "/bin")));
    QVERIFY(QCoreApplication::installTranslator(&russian));
    QDialog dialog;
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    QCoreApplication::removeTranslator(&russian);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Настройки связи"));
    QCOMPARE(ui.label->text(), QStringLiteral("COM-порт:"));
    QCOMPARE(ui.label_4->text(), QStringLiteral("Драйвер:"));
    QCOMPARE(ui.comboDriver->itemText(0), QStringLiteral("Авто"));
    QCOMPARE(ui.comboDriver->itemText(1), QStringLiteral("USB-Serial"));
    QCOMPARE(ui.comboDriver->itemText(2), QStringLiteral("USB-HID"));
}

void TestComDialog::form_buttonsAcceptAndReject_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK accepts") << int(QDialogButtonBox::Ok) << int(QDialog::Accepted);
    QTest::newRow("Cancel rejects") << int(QDialogButtonBox::Cancel) << int(QDialog::Rejected);
}

void TestComDialog::form_buttonsAcceptAndReject()
{
    QFETCH(int, button);
    QFETCH(int, result);

    QDialog dialog;
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    ModalDriver driver;
    driver.then([&](QWidget *modal) { gui::click(modal, QDialogButtonBox::StandardButton(button)); });
    QCOMPARE(dialog.exec(), result);
    QVERIFY(driver.unexpected.isEmpty());
}

void TestComDialog::preselectedPort_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("index");

    const QStringList com{"COM1 Communications Port", "COM10 VANT USB Serial", "COM2 Printer"};
    QTest::newRow("COM1 picks COM1, not COM10") << com << "COM1" << 0;
    QTest::newRow("COM10 picks COM10") << com << "COM10" << 1;
    QTest::newRow("COM1 after COM10 in the list")
        << QStringList{"COM10 VANT USB Serial", "COM1 Communications Port"} << "COM1" << 1;
    QTest::newRow("no match keeps the first") << com << "COM7" << 0;
    QTest::newRow("case matters") << com << "com2" << 0;
    QTest::newRow("last of several matches") << QStringList{"COM3 A", "COM4 B", "COM3 C"} << "COM3" << 2;
    QTest::newRow("entry without description does not match")
        << QStringList{"COM5 x", "COM6"} << "COM6" << 0;
    QTest::newRow("empty stored name matches none") << com << "" << 0;
    QTest::newRow("empty list") << QStringList{} << "COM1" << -1;
}

void TestComDialog::preselectedPort()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, stored);
    QFETCH(int, index);
    QCOMPARE(::preselectedPort(entries, stored), index);
}

void TestComDialog::portNameOf_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");
    QTest::newRow("entry with description") << "COM3 USB Serial Port (COM3)" << "COM3";
    QTest::newRow("bare name") << "COM4" << "COM4";
    QTest::newRow("path") << "/dev/pts/7 VANT USB Serial (simulator)" << "/dev/pts/7";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("leading blank gives an empty name") << " COM5" << "";
}

void TestComDialog::portNameOf()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QCOMPARE(::portNameOf(entry), name);
}

void TestComDialog::command_preselection_data()
{
    QTest::addColumn<QStringList>("registered");
    QTest::addColumn<QVariant>("storedDriver"); // invalid: key absent
    QTest::addColumn<QVariant>("storedPort");
    QTest::addColumn<int>("driverShown");
    QTest::addColumn<QString>("portShown"); // "<first>": the first entry of the list

    const QStringList com1then10{"COM1 Communications Port", "COM10 USB Serial Port"};
    const QStringList com10then1{"COM10 USB Serial Port", "COM1 Communications Port"};
    QTest::newRow("empty settings: Auto and COM1")
        << com1then10 << QVariant() << QVariant() << 0 << "COM1 Communications Port";
    QTest::newRow("stored COM1 is not taken for COM10 listed after it")
        << com1then10 << QVariant(1) << QVariant("COM1") << 1 << "COM1 Communications Port";
    QTest::newRow("stored COM1 is not taken for COM10 listed before it")
        << com10then1 << QVariant(1) << QVariant("COM1") << 1 << "COM1 Communications Port";
    QTest::newRow("stored COM10") << com1then10 << QVariant(2) << QVariant("COM10") << 2
                                  << "COM10 USB Serial Port";
    QTest::newRow("stored port not listed: first entry")
        << com1then10 << QVariant(0) << QVariant("COM9") << 0 << "<first>";
    QTest::newRow("two entries of one port: the last")
        << QStringList{"COM1 First adapter", "COM1 Second adapter"} << QVariant() << QVariant() << 0
        << "COM1 Second adapter";
}

void TestComDialog::command_preselection()
{
    QFETCH(QStringList, registered);
    QFETCH(QVariant, storedDriver);
    QFETCH(QVariant, storedPort);
    QFETCH(int, driverShown);
    QFETCH(QString, portShown);

    registerPorts(registered);
    if (QTest::currentTestFailed())
        return;
    if (storedDriver.isValid())
        store().setValue("Link/Driver", storedDriver);
    if (storedPort.isValid())
        store().setValue("Link/COMPort", storedPort);
    const QStringList list = comListPorts();
    for (const QString &line : registered)
        QVERIFY2(list.contains(line), qPrintable(list.join('|')));
    if (portShown == QLatin1String("<first>"))
        portShown = list.first();

    MainWindow window;
    const DialogSeen seen = runDialog(window, [](QDialog *d) { gui::click(d, QDialogButtonBox::Cancel); });
    QVERIFY(seen.seen);
    QCOMPARE(seen.objectName, QStringLiteral("COMDialog"));
    QCOMPARE(seen.parent, &window);
    QCOMPARE(seen.portItems, list);
    QCOMPARE(seen.driverIndex, driverShown);
    QCOMPARE(seen.portText, portShown);
}

void TestComDialog::command_ok_storesDriverAndPortNameOnly_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QString>("choose"); // an entry to select, or text to type
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("storedPort");

    QTest::newRow("serial, listed entry") << 1 << "COM10 USB Serial Port" << false << "COM10";
    QTest::newRow("HID keeps the port too") << 2 << "COM1 Communications Port" << false << "COM1";
    QTest::newRow("Auto keeps the port too") << 0 << "COM10 USB Serial Port" << false << "COM10";
    QTest::newRow("typed name") << 1 << "/dev/ttyACM3" << true << "/dev/ttyACM3";
    QTest::newRow("typed name with words after it") << 1 << "COM5 my adapter" << true << "COM5";
}

void TestComDialog::command_ok_storesDriverAndPortNameOnly()
{
    QFETCH(int, driver);
    QFETCH(QString, choose);
    QFETCH(bool, typed);
    QFETCH(QString, storedPort);

    registerPorts({"COM1 Communications Port", "COM10 USB Serial Port"});
    if (QTest::currentTestFailed())
        return;
    MainWindow window;
    const DialogSeen seen = runDialog(window, [&](QDialog *d) {
        auto *driverCombo = d->findChild<QComboBox *>(QStringLiteral("comboDriver"));
        auto *portCombo = d->findChild<QComboBox *>(QStringLiteral("comboPort"));
        driverCombo->setCurrentIndex(driver);
        if (typed) {
            gui::typeInto(portCombo->lineEdit(), choose);
        } else {
            const int index = portCombo->findText(choose);
            QVERIFY(index >= 0);
            portCombo->setCurrentIndex(index);
        }
        gui::click(d, QDialogButtonBox::Ok);
    });
    QVERIFY(seen.seen);
    QCOMPARE(store().value("Link/Driver").toInt(), driver);
    QCOMPARE(store().value("Link/COMPort").toString(), storedPort);
}

void TestComDialog::command_cancel_storesNothing()
{
    registerPorts({"COM1 Communications Port", "COM10 USB Serial Port"});
    if (QTest::currentTestFailed())
        return;
    store().setValue("Link/Driver", 1);
    store().setValue("Link/COMPort", "COM1");
    MainWindow window;
    const DialogSeen seen = runDialog(window, [](QDialog *d) {
        d->findChild<QComboBox *>(QStringLiteral("comboDriver"))->setCurrentIndex(2);
        auto *portCombo = d->findChild<QComboBox *>(QStringLiteral("comboPort"));
        portCombo->setCurrentIndex(portCombo->findText(QStringLiteral("COM10 USB Serial Port")));
        gui::click(d, QDialogButtonBox::Cancel);
    });
    QVERIFY(seen.seen);
    QCOMPARE(store().value("Link/Driver").toInt(), 1);
    QCOMPARE(store().value("Link/COMPort").toString(), QStringLiteral("COM1"));

    // Escape is a cancel as well, and with empty settings nothing is written at all.
    store().clear();
    const DialogSeen again = runDialog(window, [](QDialog *d) { QTest::keyClick(d, Qt::Key_Escape); });
    QVERIFY(again.seen);
    QVERIFY(!store().contains("Link/Driver"));
    QVERIFY(!store().contains("Link/COMPort"));
}

void TestComDialog::command_emptiedPortField_storesEmptyName()
{
    // No registered ports: only the system's own are listed, and clearing the field stores
    // an empty name rather than keeping an entry.
    MainWindow window;
    const DialogSeen seen = runDialog(window, [](QDialog *d) {
        auto *portCombo = d->findChild<QComboBox *>(QStringLiteral("comboPort"));
        gui::typeInto(portCombo->lineEdit(), QString());
        gui::click(d, QDialogButtonBox::Ok);
    });
    QVERIFY(seen.seen);
    QCOMPARE(seen.portItems, comListPorts());
    QCOMPARE(store().value("Link/Driver").toInt(), 0);
    QVERIFY(store().contains("Link/COMPort"));
    QCOMPARE(store().value("Link/COMPort").toString(), QString());
}

VANT_GUI_TEST_MAIN(TestComDialog)
#include "tst_comdialog.moc"
