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
#include <QFileDialog>
#include <QInputDialog>
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
    void integer_data();
    void integer();
    void floatInput_data();
    void floatInput();
    void choice_data();
    void choice();
    void string_data();
    void string();
    void file_data();
    void file();
    void file_device_refusedUnread();
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

// What the user saw in a text editor, and the error box it brought up, if any.
struct TextEditorSeen
{
    QString label;
    QString preset;
    QWidget *parent = nullptr;
    gui::BoxSeen box;
    int pendingSteps = 0;
    QStringList unexpected;
};

// Types into the variable's text dialog, presses OK and answers an error box when one is
// expected. Returns what the editor returned.
static bool typeIntoEditor(QWidget *parent, ConfFormat &format, ConfVar *var, const QString &label,
                           const QString &typed, bool expectBox, TextEditorSeen *seen)
{
    ModalDriver driver;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit property value"));
        QCOMPARE(dialog->inputMode(), QInputDialog::TextInput);
        seen->label = dialog->labelText();
        seen->preset = dialog->textValue();
        seen->parent = dialog->parentWidget();
        gui::typeInto(dialog->findChild<QLineEdit *>(), typed);
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    if (expectBox) {
        driver.then([&](QWidget *modal) {
            seen->box = gui::readBox(modal);
            gui::click(modal, QDialogButtonBox::Ok);
        });
    }
    const bool stored = editors::editVar(parent, format, var, label);
    seen->pendingSteps = driver.pendingSteps();
    seen->unexpected = driver.unexpected;
    return stored;
}

void TestValueEditors::time_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shown"); // value text afterwards

    QTest::newRow("9:5_is0905") << "9:5" << true << "09:05";
    QTest::newRow("unchanged_accepted") << "01:40" << true << "01:40";
    QTest::newRow("24:00_rejected") << "24:00" << false << "01:40";
}

void TestValueEditors::time()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, shown);

    var("t")->value = 100;
    TextEditorSeen seen;
    QCOMPARE(typeIntoEditor(parent, *format, var("t"), QStringLiteral("Start time"), typed, !accepted, &seen),
             accepted);

    QCOMPARE(seen.pendingSteps, 0);
    QCOMPARE(seen.unexpected, QStringList());
    QCOMPARE(seen.label, QStringLiteral("Start time"));
    QCOMPARE(seen.preset, QStringLiteral("01:40"));
    QCOMPARE(seen.parent, parent);
    QCOMPARE(format->text(var("t")->offset), shown);
    if (!accepted) {
        QCOMPARE(seen.box.title, QStringLiteral("Error"));
        QCOMPARE(seen.box.text, QStringLiteral("Incorrect format for time."));
        QCOMPARE(seen.box.icon, QMessageBox::Critical);
        QCOMPARE(seen.box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.box.parent, parent);
    }
}

void TestValueEditors::ip_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("slot"); // the address in the image afterwards

    const QByteArray old = QByteArray::fromHex("C0A80001");
    QTest::newRow("10.0.0.1.7_acceptedAs10.0.0.1") << "10.0.0.1.7" << true << QByteArray::fromHex("0A000001");
    QTest::newRow("10.0.0.256_rejected") << "10.0.0.256" << false << old;
}

void TestValueEditors::ip()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, slot);

    var("addr")->value = 0x0100A8C0; // 192.168.0.1
    TextEditorSeen seen;
    QCOMPARE(typeIntoEditor(parent, *format, var("addr"), QStringLiteral("Address"), typed, !accepted, &seen),
             accepted);

    QCOMPARE(seen.pendingSteps, 0);
    QCOMPARE(seen.unexpected, QStringList());
    QCOMPARE(seen.preset, QStringLiteral("192.168.0.1"));
    QCOMPARE(slotBytes(*format, QStringLiteral("addr")).toHex(' '), slot.toHex(' '));
    if (!accepted) {
        QCOMPARE(seen.box.title, QStringLiteral("Error"));
        QCOMPARE(seen.box.text, QStringLiteral("Incorrect format for IP address."));
        QCOMPARE(seen.box.icon, QMessageBox::Critical);
    }
}

void TestValueEditors::integer_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error"); // empty when accepted
    QTest::addColumn<QString>("shown");

    QTest::newRow("inRange_stored") << "42" << "" << "42 ms";
    QTest::newRow("lowestBound_stored") << "-5" << "" << "-5 ms";
    // Outside the range the value is refused with the range, not clamped to it.
    QTest::newRow("aboveRange_refusedWithRange") << "51" << "Out of range: -5 to 50 ms." << "7 ms";
    QTest::newRow("notANumber_refused") << "4x" << "Not a whole number." << "7 ms";
}

void TestValueEditors::integer()
{
    QFETCH(QString, typed);
    QFETCH(QString, error);
    QFETCH(QString, shown);

    var("num")->value = 7;
    TextEditorSeen seen;
    QCOMPARE(typeIntoEditor(parent, *format, var("num"), QStringLiteral("Delay"), typed, !error.isEmpty(), &seen),
             error.isEmpty());
    QCOMPARE(seen.pendingSteps, 0);
    QCOMPARE(seen.unexpected, QStringList());
    QCOMPARE(seen.label, QStringLiteral("Delay (-5 to 50 ms)"));
    QCOMPARE(seen.preset, QStringLiteral("7"));
    QCOMPARE(seen.box.text, error);
    if (!error.isEmpty()) {
        QCOMPARE(seen.box.title, QStringLiteral("Error"));
        QCOMPARE(seen.box.icon, QMessageBox::Critical);
        QCOMPARE(seen.box.parent, parent);
    }
    QCOMPARE(format->text(var("num")->offset), shown);
}

void TestValueEditors::floatInput_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error"); // empty when accepted
    QTest::addColumn<float>("stored");
    // Whatever the locale, the editor shows the tree's form and reads both separators.
    for (const char *locale : {"C", "ru_RU", "de_DE"}) {
        QTest::addRow("%s: point", locale) << locale << "-3.25" << "" << -3.25f;
        QTest::addRow("%s: comma", locale) << locale << "7,5" << "" << 7.5f;
    }
    QTest::newRow("above the range") << "C" << "12" << "Out of range: -10.00 to 10.00 V." << -0.5f;
    QTest::newRow("third digit rounded") << "C" << "0.126" << "" << 0.13f;
}

void TestValueEditors::floatInput()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, error);
    QFETCH(float, stored);
    const QLocale saved;
    QLocale::setDefault(QLocale(locale));
    var("f")->floatValue = -0.5f;
    TextEditorSeen seen;
    const bool accepted =
        typeIntoEditor(parent, *format, var("f"), QStringLiteral("Voltage"), typed, !error.isEmpty(), &seen);
    QLocale::setDefault(saved);
    QCOMPARE(accepted, error.isEmpty());
    QCOMPARE(seen.pendingSteps, 0);
    QCOMPARE(seen.unexpected, QStringList());
    QCOMPARE(seen.label, QStringLiteral("Voltage (-10.00 to 10.00 V)"));
    QCOMPARE(seen.preset, QStringLiteral("-0.50"));
    QCOMPARE(seen.box.text, error);
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

    // A text the variable cannot hold is refused with its limit, not cut unseen.
    QTest::newRow("longer_refused") << "abcdefgh" << "old" << "Too long: at most 7 characters.";
    QTest::newRow("exactlySeven_kept") << "abcdefg" << "abcdefg" << "";
    QTest::newRow("empty_accepted") << "" << "" << "";
    // The description's CP1251 has no omega and no check mark; each is named once.
    QTest::newRow("notInEncoding_refused") << QString::fromUtf8("aΩ✓bΩ") << "old"
                                           << QString::fromUtf8("These characters cannot be stored on the device (CP1251): Ω✓");
}

void TestValueEditors::string()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, error);

    var("s")->text = QStringLiteral("old");
    TextEditorSeen seen;
    QCOMPARE(typeIntoEditor(parent, *format, var("s"), QStringLiteral("Name"), typed, !error.isEmpty(), &seen),
             error.isEmpty());
    QCOMPARE(seen.pendingSteps, 0);
    QCOMPARE(seen.unexpected, QStringList());
    QCOMPARE(seen.label, QStringLiteral("Name (at most 7 characters)"));
    QCOMPARE(seen.box.text, error);
    QCOMPARE(seen.preset, QStringLiteral("old"));
    QCOMPARE(var("s")->text, stored);
}

void TestValueEditors::file_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("error"); // empty when accepted

    // The variable has size 100: a 2-byte length and up to 98 content bytes.
    QTest::newRow("98bytes_accepted") << 98 << QString();
    QTest::newRow("99bytes_tooLarge") << 99 << "File too large.";
    QTest::newRow("empty_accepted") << 0 << QString();
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
    QString nameLabel;
    QStringList filters;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        nameLabel = dialog->labelText(QFileDialog::FileName);
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
    QCOMPARE(nameLabel, QStringLiteral("Blob (at most 98 bytes)"));
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

// A character device reports no size and may never end; it is refused unread.
void TestValueEditors::file_device_refusedUnread()
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
    QCOMPARE(box.text, QStringLiteral("Not a regular file."));
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
        gui::typeInto(dialog->findChild<QLineEdit *>(), QStringLiteral("7"));
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(editors::edit(parent, *format, id, QStringLiteral("Struct row")));
    QCOMPARE(label, QStringLiteral("Struct row (0 to 65535)"));
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
