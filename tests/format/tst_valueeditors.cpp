// The value editors, driven through their real dialogs as a user would: typing, choosing,
// pressing OK, Cancel or Escape, and answering the error boxes.
#include "format/confformat.h"
#include "format/ui/valueeditors.h"
#include "formattestutil.h"
#include "tests/support/guitest.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

const char *const EditorFormat = R"(<Format>
  <byte name="num" min="-5" max="50" suffix="ms"/>
  <byte name="sel" select="low|mid|high"/>
  <bool name="flag"/>
  <hhmm name="t"/>
  <ip name="addr"/>
  <float name="f" format="2" min="-10" max="10" suffix="V"/>
  <string name="s" size="8"/>
  <file name="blob" size="100"/>
  <struct name="st"><word name="a"/><word name="b"/></struct>
  <byte name="dup" select="x|y|x"/>
  <byte name="gap" select="a||b"/>
</Format>)";

// Bytes of one variable's slot in the packed image.
QByteArray slotBytes(const ConfFormat &format, const QString &name)
{
    const ConfVar *v = format.varByName(name);
    return format.pack().mid(2 + v->offset, v->size);
}

} // namespace

class TestValueEditors : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void cancel_changesNothing_data();
    void cancel_changesNothing();
    void time_data();
    void time();
    void ip_data();
    void ip();
    void integer_usesRangeAndStoresNumber();
    void floatInput_data();
    void floatInput();
    void choice_data();
    void choice();
    void string_data();
    void string();
    void file_data();
    void file();
    void file_deviceWithoutSize_refused();
    void edit_structureId_editsFirstMember();
    void edit_unknownId_printsAndShowsNothing();
    void editVar_structure_showsNothing();

private:
    std::unique_ptr<ConfFormat> format;
    ConfVar *var(const char *name) { return varNamed(format.get(), QString::fromLatin1(name)); }
    QWidget *parent = nullptr;
    QTemporaryDir dir;
    QString writeFile(const QString &name, const QByteArray &data);
    void chooseFile(QWidget *modal, const QString &path);
    QString savedCwd;
};

void TestValueEditors::init()
{
    format = formatFromXml(QString::fromLatin1(EditorFormat));
    QVERIFY(format);
    savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    parent = new QWidget;
    parent->resize(300, 200);
    parent->show();
}

void TestValueEditors::cleanup()
{
    delete parent;
    parent = nullptr;
    QDir::setCurrent(savedCwd);
    format.reset();
}

QString TestValueEditors::writeFile(const QString &name, const QByteArray &data)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write test file");
    return f.fileName();
}

// The user types the whole path of the file and presses Open.
void TestValueEditors::chooseFile(QWidget *modal, const QString &path)
{
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    QVERIFY(dialog);
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    // The suggestion list is filled from a worker thread and pops up at its own pace; the
    // user here types the whole path and ignores it.
    edit->setCompleter(nullptr);
    // Typing into the name field of an inactive window would leave the dialog's own
    // suggestions selected in its file list.
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    gui::typeInto(edit, path);
    // The dialog enables Open once its file model has looked the typed name up.
    QPushButton *open = gui::dialogButton(dialog, QDialogButtonBox::Open);
    QVERIFY(open);
    QTRY_VERIFY_WITH_TIMEOUT(open->isEnabled(), 5000);
    QTest::mouseClick(open, Qt::LeftButton);
}

void TestValueEditors::cancel_changesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("escape"); // Escape key instead of the Cancel button

    for (const char *name : {"num", "sel", "flag", "t", "addr", "f", "s", "blob"}) {
        QTest::addRow("%s_cancelButton", name) << QString::fromLatin1(name) << false;
        QTest::addRow("%s_escape", name) << QString::fromLatin1(name) << true;
    }
}

void TestValueEditors::cancel_changesNothing()
{
    QFETCH(QString, name);
    QFETCH(bool, escape);

    var("num")->value = 7;
    var("sel")->value = 2;
    var("flag")->value = 1;
    var("t")->value = 605;
    var("addr")->value = 0x0100A8C0;
    var("f")->floatValue = 1.5f;
    var("s")->text = QStringLiteral("abc");
    var("blob")->fileData = QByteArray("old");
    var("blob")->fileLength = 3;
    const QByteArray before = format->pack();

    ModalDriver driver;
    bool opened = false;
    driver.then([&](QWidget *modal) {
        opened = true;
        if (escape)
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            gui::click(modal, QDialogButtonBox::Cancel);
    });
    QCOMPARE(editors::editVar(parent, *format, varNamed(format.get(), name), QStringLiteral("Label")), false);

    QVERIFY(opened);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(format->pack().toHex(' '), before.toHex(' '));
    QCOMPARE(var("blob")->fileData, QByteArray("old"));
}

void TestValueEditors::time_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shown"); // value text afterwards

    QTest::newRow("9:5_is0905") << "9:5" << true << "09:05";
    QTest::newRow("10:05:33_is1005") << "10:05:33" << true << "10:05";
    QTest::newRow("unchanged_accepted") << "01:40" << true << "01:40";
    QTest::newRow("24:00_rejected") << "24:00" << false << "01:40";
    QTest::newRow("12:60_rejected") << "12:60" << false << "01:40";
    QTest::newRow("12_rejected") << "12" << false << "01:40";
    QTest::newRow("ab:cd_rejected") << "ab:cd" << false << "01:40";
}

void TestValueEditors::time()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, shown);

    var("t")->value = 100;
    ModalDriver driver;
    QString title, label, preset;
    QWidget *dialogParent = nullptr;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        title = dialog->windowTitle();
        label = dialog->labelText();
        preset = dialog->textValue();
        dialogParent = dialog->parentWidget();
        gui::typeInto(dialog->findChild<QLineEdit *>(), typed);
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    if (!accepted) {
        driver.then([&](QWidget *modal) {
            box = gui::readBox(modal);
            gui::click(modal, QDialogButtonBox::Ok);
        });
    }

    QCOMPARE(editors::editVar(parent, *format, var("t"), QStringLiteral("Start time")), accepted);

    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(title, QStringLiteral("Edit property value"));
    QCOMPARE(label, QStringLiteral("Start time"));
    QCOMPARE(preset, QStringLiteral("01:40"));
    QCOMPARE(dialogParent, parent);
    QCOMPARE(format->text(var("t")->offset), shown);
    if (!accepted) {
        QCOMPARE(box.title, QStringLiteral("Error"));
        QCOMPARE(box.text, QStringLiteral("Incorrect format for time."));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.parent, parent);
    }
}

void TestValueEditors::ip_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("slot"); // the address in the image afterwards

    const QByteArray old = QByteArray::fromHex("C0A80001");
    QTest::newRow("10.0.0.200_accepted") << "10.0.0.200" << true << QByteArray::fromHex("0A0000C8");
    QTest::newRow("10.0.0.1.7_acceptedAs10.0.0.1") << "10.0.0.1.7" << true << QByteArray::fromHex("0A000001");
    QTest::newRow("10.0.0.256_rejected") << "10.0.0.256" << false << old;
    QTest::newRow("10.0.0_rejected") << "10.0.0" << false << old;
    QTest::newRow("10.0.x.1_rejected") << "10.0.x.1" << false << old;
}

void TestValueEditors::ip()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, slot);

    var("addr")->value = 0x0100A8C0; // 192.168.0.1
    ModalDriver driver;
    QString preset;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit property value"));
        preset = dialog->textValue();
        gui::typeInto(dialog->findChild<QLineEdit *>(), typed);
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    if (!accepted) {
        driver.then([&](QWidget *modal) {
            box = gui::readBox(modal);
            gui::click(modal, QDialogButtonBox::Ok);
        });
    }

    QCOMPARE(editors::editVar(parent, *format, var("addr"), QStringLiteral("Address")), accepted);

    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(preset, QStringLiteral("192.168.0.1"));
    QCOMPARE(slotBytes(*format, QStringLiteral("addr")).toHex(' '), slot.toHex(' '));
    if (!accepted) {
        QCOMPARE(box.title, QStringLiteral("Error"));
        QCOMPARE(box.text, QStringLiteral("Incorrect format for IP address."));
        QCOMPARE(box.icon, QMessageBox::Critical);
    }
}

void TestValueEditors::integer_usesRangeAndStoresNumber()
{
    var("num")->value = 7;
    ModalDriver driver;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->inputMode(), QInputDialog::IntInput);
        QCOMPARE(dialog->intValue(), 7);
        QCOMPARE(dialog->intMinimum(), -5);
        QCOMPARE(dialog->intMaximum(), 50);
        QCOMPARE(dialog->intStep(), 1);
        QCOMPARE(dialog->labelText(), QStringLiteral("Delay"));
        auto *spin = dialog->findChild<QSpinBox *>();
        QVERIFY(spin);
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spin, QStringLiteral("42"));
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(editors::editVar(parent, *format, var("num"), QStringLiteral("Delay")));
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(var("num")->value, 42);
    QCOMPARE(format->text(var("num")->offset), QStringLiteral("42 ms"));
}

void TestValueEditors::floatInput_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<float>("stored");
    // Whatever the locale, the box shows the tree's form and reads both separators.
    for (const char *locale : {"C", "ru_RU", "de_DE"}) {
        QTest::addRow("%s: point", locale) << locale << "-3.25" << -3.25f;
        QTest::addRow("%s: comma", locale) << locale << "7,5" << 7.5f;
        QTest::addRow("%s: whole", locale) << locale << "4" << 4.0f;
        // Past the range or the digits: the box takes no more, the last valid value stays.
        QTest::addRow("%s: above the range", locale) << locale << "12" << 1.0f;
        QTest::addRow("%s: third digit", locale) << locale << "0.125" << 0.12f;
    }
}

void TestValueEditors::floatInput()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(float, stored);
    const QLocale saved;
    QLocale::setDefault(QLocale(locale));
    var("f")->floatValue = -0.5f;
    ModalDriver driver;
    QString shown;
    driver.then([&](QWidget *modal) {
        auto *spin = modal->findChild<QDoubleSpinBox *>();
        QVERIFY(spin);
        QCOMPARE(modal->windowTitle(), QStringLiteral("Edit property value"));
        QCOMPARE(spin->minimum(), -10.0);
        QCOMPARE(spin->maximum(), 10.0);
        QCOMPARE(spin->decimals(), 2);
        shown = spin->text();
        gui::typeInto(spin->findChild<QLineEdit *>(), typed);
        gui::click(modal, QDialogButtonBox::Ok);
    });
    const bool accepted = editors::editVar(parent, *format, var("f"), QStringLiteral("Voltage"));
    QLocale::setDefault(saved);
    QVERIFY(accepted);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(shown + QStringLiteral(" V"), QStringLiteral("-0.50 V"));
    QCOMPARE(var("f")->floatValue, stored);
}

void TestValueEditors::choice_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("initial");
    QTest::addColumn<QString>("preselected");
    QTest::addColumn<int>("downPresses");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");

    QTest::newRow("select_midToHigh") << "sel" << 1 << "mid" << 1 << true << 2;
    QTest::newRow("select_keptAsIs") << "sel" << 2 << "high" << 0 << true << 2;
    QTest::newRow("bool_offToOn") << "flag" << 0 << "off" << 1 << true << 1;
    // Repeated item texts: the first item of that text wins.
    QTest::newRow("repeatedText_firstWins") << "dup" << 2 << "x" << 0 << true << 0;
    QTest::newRow("emptyItem_refused") << "gap" << 0 << "a" << 1 << false << 0;
    QTest::newRow("outOfRange_showsFirst") << "sel" << 7 << "low" << 0 << true << 0;
}

void TestValueEditors::choice()
{
    QFETCH(QString, name);
    QFETCH(int, initial);
    QFETCH(QString, preselected);
    QFETCH(int, downPresses);
    QFETCH(bool, accepted);
    QFETCH(int, value);

    ConfVar *v = varNamed(format.get(), name);
    v->value = initial;
    ModalDriver driver;
    QString shownFirst;
    QStringList items;
    bool editable = true;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        auto *combo = dialog->findChild<QComboBox *>();
        QVERIFY(combo);
        shownFirst = combo->currentText();
        editable = combo->isEditable();
        items = dialog->comboBoxItems();
        combo->setFocus();
        for (int i = 0; i < downPresses; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        gui::click(dialog, QDialogButtonBox::Ok);
    });

    QCOMPARE(editors::editVar(parent, *format, v, QStringLiteral("Choice")), accepted);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(shownFirst, preselected);
    QVERIFY(!editable);
    QCOMPARE(items, v->items);
    QCOMPARE(v->value, accepted ? value : initial);
}

void TestValueEditors::string_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("error");

    QTest::newRow("longer_cutToSizeMinus1") << "abcdefghij" << "abcdefg" << "";
    QTest::newRow("exactlySeven_kept") << "abcdefg" << "abcdefg" << "";
    QTest::newRow("short_kept") << "xy" << "xy" << "";
    QTest::newRow("empty_accepted") << "" << "" << "";
    QTest::newRow("cyrillic_cutByCharacters") << QString::fromUtf8("привет мир") << QString::fromUtf8("привет ") << "";
    // The description's CP1251 has no omega and no check mark; each is named once.
    QTest::newRow("notInEncoding_refused") << QString::fromUtf8("aΩ✓bΩ") << "old"
                                           << QString::fromUtf8("These characters cannot be stored on the device (CP1251): Ω✓");
    // Only what is kept counts.
    QTest::newRow("notInEncoding_beyondSize_cutAway") << QString::fromUtf8("abcdefgΩ") << "abcdefg" << "";
    QTest::newRow("chinese_refused") << QString::fromUtf8("a中") << "old"
                                     << QString::fromUtf8("These characters cannot be stored on the device (CP1251): 中");
}

void TestValueEditors::string()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, error);

    var("s")->text = QStringLiteral("old");
    ModalDriver driver;
    QString preset;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        preset = dialog->textValue();
        gui::typeInto(dialog->findChild<QLineEdit *>(), typed);
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    if (!error.isEmpty()) {
        driver.then([&](QWidget *modal) {
            box = gui::readBox(modal);
            gui::click(modal, QDialogButtonBox::Ok);
        });
    }
    QCOMPARE(editors::editVar(parent, *format, var("s"), QStringLiteral("Name")), error.isEmpty());
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(box.text, error);
    QCOMPARE(preset, QStringLiteral("old"));
    QCOMPARE(var("s")->text, stored);
}

void TestValueEditors::file_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("error"); // empty when accepted

    // The variable has size 100: a 2-byte length and up to 98 content bytes.
    QTest::newRow("98bytes_accepted") << 98 << QString();
    QTest::newRow("99bytes_tooLarge") << 99 << "File too large.";
    QTest::newRow("500bytes_tooLarge") << 500 << "File too large.";
    QTest::newRow("empty_accepted") << 0 << QString();
    QTest::newRow("1byte_accepted") << 1 << QString();
}

void TestValueEditors::file()
{
    QFETCH(int, size);
    QFETCH(QString, error);

    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(i * 7 + 1);
    const QString path = writeFile(QStringLiteral("data.bin"), data);
    var("blob")->fileData = QByteArray("old");
    var("blob")->fileLength = 3;

    ModalDriver driver;
    QString caption;
    QStringList filters;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        chooseFile(modal, path);
    });
    if (!error.isEmpty()) {
        driver.then([&](QWidget *modal) {
            box = gui::readBox(modal);
            gui::click(modal, QDialogButtonBox::Ok);
        });
    }

    QCOMPARE(editors::editVar(parent, *format, var("blob"), QStringLiteral("Blob")), error.isEmpty());
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(caption, QStringLiteral("Open file"));
    QCOMPARE(filters, QStringList{QStringLiteral("Files (*)")});
    if (error.isEmpty()) {
        QCOMPARE(var("blob")->fileLength, size);
        QCOMPARE(var("blob")->fileData.toHex(' '), data.toHex(' '));
    } else {
        QCOMPARE(box.title, QStringLiteral("Error"));
        QCOMPARE(box.text, error);
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(var("blob")->fileLength, 3);
        QCOMPARE(var("blob")->fileData, QByteArray("old"));
    }
}

// A character device reports no size; its contents must still be held to the slot, not read
// without end.
void TestValueEditors::file_deviceWithoutSize_refused()
{
    var("blob")->fileData = QByteArray("old");
    var("blob")->fileLength = 3;
    ModalDriver driver;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) { chooseFile(modal, QStringLiteral("/dev/zero")); });
    driver.then([&](QWidget *modal) {
        box = gui::readBox(modal);
        gui::click(modal, QDialogButtonBox::Ok);
    });
    QCOMPARE(editors::editVar(parent, *format, var("blob"), QStringLiteral("Blob")), false);
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(box.text, QStringLiteral("File too large."));
    QCOMPARE(var("blob")->fileLength, 3);
}

void TestValueEditors::edit_structureId_editsFirstMember()
{
    const int id = format->idOf(QStringLiteral("st"));
    QCOMPARE(id, format->idOf(QStringLiteral("st.a")));
    ModalDriver driver;
    QString label;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        label = dialog->labelText();
        auto *spin = dialog->findChild<QSpinBox *>();
        QVERIFY(spin);
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spin, QStringLiteral("7"));
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(editors::edit(parent, *format, id, QStringLiteral("Struct row")));
    QCOMPARE(label, QStringLiteral("Struct row"));
    QCOMPARE(var("st.a")->value, 7);
    QCOMPARE(var("st.b")->value, 0);
}

void TestValueEditors::edit_unknownId_printsAndShowsNothing()
{
    ModalDriver driver;
    DiagCapture diag;
    QCOMPARE(editors::edit(parent, *format, 9999, QStringLiteral("Nothing")), false);
    QTest::qWait(30); // a dialog, had one opened, would be seen by now
    QCOMPARE(diag.out, QByteArray("ConfFormat::edit id=9999 not found\n"));
    QCOMPARE(diag.err, QByteArray());
    QCOMPARE(driver.unexpected, QStringList());
}

void TestValueEditors::editVar_structure_showsNothing()
{
    ModalDriver driver;
    QCOMPARE(editors::editVar(parent, *format, var("st"), QStringLiteral("Struct")), false);
    QTest::qWait(30);
    QCOMPARE(driver.unexpected, QStringList());
}

VANT_GUI_TEST_MAIN(TestValueEditors)
#include "tst_valueeditors.moc"
