// The File menu of the main window, used as a user would: the menu actions are triggered and
// the real file dialogs answered by typing a path, with real files in a temporary working
// directory and a loopback description server for descriptions that are not there.
#include "app/mainwindow.h"
#include "app/messagespane.h"
#include "download/descriptionserver.h"
#include "download/ui/formatdl.h"
#include "fetchtestutil.h"
#include "format/confformat.h"
#include "httptestserver.h"
#include "tests/support/guitest.h"
#include "tree/ui/conftree.h"

#include <QAction>
#include <QFileDialog>
#include <QUndoStack>
#include <QUndoStack>
#include <QFileInfo>
#include <QSettings>
#include <QTreeWidgetItem>

Q_DECLARE_METATYPE(CannedReply)

namespace {

const QByteArray Description = "<Device id=\"FC-1\"><Format><byte name=\"a\"/><word name=\"b\"/><bool name=\"on\"/>"
                               "</Format><Tree name=\"Files\"><Var var=\"a\" name=\"A\"/>"
                               "<Var var=\"b\" name=\"B\" visible=\"on\"/><Var var=\"on\" name=\"On\"/></Tree></Device>";

// The work buffer of the command is as large as the image: 5000 bytes of file contents.
const QByteArray LargeDescription = "<Device id=\"FC-BIG\"><Format><byte name=\"a\"/><file name=\"f\" size=\"5000\"/>"
                                    "</Format><Tree><Var var=\"a\"/><Var var=\"f\"/></Tree></Device>";

QByteArray valueFile(const QByteArray &id, const QByteArray &vars)
{
    return "<!DOCTYPE Configuration>\n<Configuration id=\"" + id + "\">\n" + vars + "</Configuration>\n";
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

struct FileDialogSeen {
    bool seen = false;
    QString caption;
    QStringList filters;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QWidget *parent = nullptr;
};

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void save_withoutDescription_warnsAndShowsNoDialog_data();
    void save_withoutDescription_warnsAndShowsNoDialog();
    void save_suffixAddedOrKept_data();
    void save_suffixAddedOrKept();
    void save_cancelled_writesNothing_data();
    void save_cancelled_writesNothing();
    void saveBin_writesPackedImage();
    void saveBin_imageLargerThan4096Bytes_savedWhole();
    void save_cannotWrite_showsErrorAndKeepsPreviousFile_data();
    void save_cannotWrite_showsErrorAndKeepsPreviousFile();
    void saveThenOpen_restoresValues();

    void open_loadsValuesAndRefreshes();
    void open_missingDescription_fetchedFirst();
    void open_fails_showsErrorAndStillRefreshes_data();
    void open_fails_showsErrorAndStillRefreshes();
    void open_cancelled_changesNothing();
    void open_sameDescriptionTwice_eachLoadOneUndoStep();
    void open_brokenDescription_messagesSayWhereAndBoxCarriesThem();
    void reload_keepsValuesByName_data();
    void reload_keepsValuesByName();
    void open_image_data();
    void open_image();

private:
    void trigger(const QString &actionText);
    void answerFileDialog(ModalDriver &driver, const QString &path, FileDialogSeen *seen);
    void cancelFileDialog(ModalDriver &driver);
    void expectBox(ModalDriver &driver, gui::BoxSeen *box);
    void expectDownloadDialog(ModalDriver &driver, bool *seen);
    void verifyBox(const gui::BoxSeen &box, QMessageBox::Icon icon, const QString &title, const QString &text);
    void loadDescription();
    ConfVar &var(const char *name) const;
    QTreeWidgetItem *row(const QString &label) const;

    WorkDir *work = nullptr;
    HttpTestServer *server = nullptr;
    MainWindow *window = nullptr;
    ConfTree *tree = nullptr;
};

void TestFileCommands::init()
{
    work = new WorkDir;
    QVERIFY(work->isValid());
    server = new HttpTestServer;
    QVERIFY(server->listen());
    server->setReply(CannedReply::make(404, "Not Found", "no"));
    QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"))
        .setValue(QLatin1String(DescriptionServerKey), server->address());
    // Not shown: a main window that becomes active late would take the keyboard from the
    // file dialogs that the tests type into.
    window = new MainWindow;
    tree = window->confTree();
}

void TestFileCommands::cleanup()
{
    delete window;
    window = nullptr;
    delete server;
    server = nullptr;
    delete work;
    work = nullptr;
}

void TestFileCommands::trigger(const QString &actionText)
{
    const auto actions = window->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->text() == actionText) {
            action->trigger();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no action ") + actionText));
}

// The user types the whole path into the name field and presses Open or Save.
void TestFileCommands::answerFileDialog(ModalDriver &driver, const QString &path, FileDialogSeen *seen)
{
    driver.then([path, seen](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        seen->seen = true;
        seen->caption = dialog->windowTitle();
        seen->filters = dialog->nameFilters();
        seen->mode = dialog->acceptMode();
        seen->parent = dialog->parentWidget();
        // The user picks the kind of file that shows the one wanted.
        for (const QString &filter : dialog->nameFilters()) {
            const QString patterns = filter.section(QLatin1Char('('), 1).section(QLatin1Char(')'), 0, 0);
            if (QDir::match(patterns.split(QLatin1Char(' ')), QFileInfo(path).fileName())) {
                dialog->selectNameFilter(filter);
                break;
            }
        }
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        // The suggestion list is filled from a worker thread and pops up at its own pace.
        edit->setCompleter(nullptr);
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        gui::typeInto(edit, path);
        // Typed without focus, the name would only select its folders in the file list.
        QVERIFY(edit->hasFocus());
        QPushButton *accept = gui::dialogButton(dialog, dialog->acceptMode() == QFileDialog::AcceptSave
                                                            ? QDialogButtonBox::Save
                                                            : QDialogButtonBox::Open);
        QVERIFY(accept);
        QTRY_VERIFY_WITH_TIMEOUT(accept->isEnabled(), 5000);
        // Clicked from the event loop: the dialog may ask before it replaces a file, and the
        // driver must be free to answer that question.
        QTimer::singleShot(0, accept, [accept] { QTest::mouseClick(accept, Qt::LeftButton); });
    });
}

void TestFileCommands::cancelFileDialog(ModalDriver &driver)
{
    driver.then([](QWidget *modal) {
        QVERIFY(qobject_cast<QFileDialog *>(modal));
        gui::click(modal, QDialogButtonBox::Cancel);
    });
}

void TestFileCommands::expectBox(ModalDriver &driver, gui::BoxSeen *box)
{
    driver.then([box](QWidget *modal) {
        *box = gui::readBox(modal);
        QVERIFY(box->seen);
        gui::click(modal, QDialogButtonBox::Ok);
    });
}

// The server sends the description in two pieces with a pause, so the download dialog is
// certainly on screen for a while; the user leaves it alone.
void TestFileCommands::expectDownloadDialog(ModalDriver &driver, bool *seen)
{
    driver.then([this, seen](QWidget *modal) {
        QVERIFY(qobject_cast<FormatDL *>(modal));
        QCOMPARE(modal->parentWidget(), static_cast<QWidget *>(tree));
        *seen = true;
    });
}

void TestFileCommands::verifyBox(const gui::BoxSeen &box, QMessageBox::Icon icon, const QString &title,
                                 const QString &text)
{
    QVERIFY(box.seen);
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, text);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, static_cast<QWidget *>(window));
}

void TestFileCommands::loadDescription()
{
    QVERIFY(writeFile(QStringLiteral("confxml/FC-1.xml"), Description));
    QVERIFY(tree->loadFormat(QStringLiteral("FC-1")));
}

ConfVar &TestFileCommands::var(const char *name) const
{
    return *tree->format->varByName(QString::fromLatin1(name));
}

QTreeWidgetItem *TestFileCommands::row(const QString &label) const
{
    const auto found = tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

void TestFileCommands::save_withoutDescription_warnsAndShowsNoDialog_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("save") << "&Save";
    QTest::newRow("save binary") << "Save &Binary";
}

void TestFileCommands::save_withoutDescription_warnsAndShowsNoDialog()
{
    QFETCH(QString, action);
    ModalDriver driver;
    gui::BoxSeen box;
    expectBox(driver, &box);
    trigger(action);
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    verifyBox(box, QMessageBox::Warning, QStringLiteral("Warning"), QStringLiteral("No configuration to save."));
    QCOMPARE(QDir().entryList(QDir::Files), QStringList());
}

void TestFileCommands::save_suffixAddedOrKept_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("filter");

    const QString xml = QStringLiteral("Configuration files (*.xml)");
    const QString bin = QStringLiteral("Binary files (*.bin)");
    QTest::newRow("values, no suffix") << "&Save" << "conf" << "conf.xml" << xml;
    QTest::newRow("values, suffix in capitals") << "&Save" << "conf.XML" << "conf.XML" << xml;
    QTest::newRow("values, suffix in mixed case") << "&Save" << "Conf.Xml" << "Conf.Xml" << xml;
    QTest::newRow("values, other suffix") << "&Save" << "conf.bin" << "conf.bin.xml" << xml;
    QTest::newRow("values, suffix not at the end") << "&Save" << "conf.xml.old" << "conf.xml.old.xml" << xml;
    QTest::newRow("image, no suffix") << "Save &Binary" << "image" << "image.bin" << bin;
    QTest::newRow("image, suffix in capitals") << "Save &Binary" << "IMAGE.BIN" << "IMAGE.BIN" << bin;
    QTest::newRow("image, other suffix") << "Save &Binary" << "image.xml" << "image.xml.bin" << bin;
}

void TestFileCommands::save_suffixAddedOrKept()
{
    QFETCH(QString, action);
    QFETCH(QString, typed);
    loadDescription();
    QVERIFY(QDir().mkdir(QStringLiteral("out")));
    ModalDriver driver;
    FileDialogSeen dialog;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("out/") + typed), &dialog);
    trigger(action);
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    QCOMPARE(dialog.caption, QStringLiteral("Save file"));
    QCOMPARE(dialog.mode, QFileDialog::AcceptSave);
    QFETCH(QString, filter);
    QCOMPARE(dialog.filters, QStringList{filter});
    QCOMPARE(dialog.parent, static_cast<QWidget *>(window));
    QFETCH(QString, written);
    QCOMPARE(QDir(QStringLiteral("out")).entryList(QDir::Files), QStringList{written});
}

void TestFileCommands::save_cancelled_writesNothing_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("save") << "&Save";
    QTest::newRow("save binary") << "Save &Binary";
}

void TestFileCommands::save_cancelled_writesNothing()
{
    QFETCH(QString, action);
    loadDescription();
    const QStringList before = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ModalDriver driver;
    cancelFileDialog(driver);
    trigger(action);
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void TestFileCommands::saveBin_writesPackedImage()
{
    loadDescription();
    var("a").value = 0x12;
    var("b").value = 0x3456;
    var("on").value = 1;
    ModalDriver driver;
    FileDialogSeen dialog;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("image")), &dialog);
    trigger(QStringLiteral("Save &Binary"));
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    // Size 4, a, b little-endian, on, then CRC-16/MODBUS low byte first.
    QCOMPARE(readFile(QStringLiteral("image.bin")).toHex(' '), hex("04 00 12 56 34 01 33 F7").toHex(' '));
}

void TestFileCommands::saveBin_imageLargerThan4096Bytes_savedWhole()
{
    QVERIFY(writeFile(QStringLiteral("confxml/FC-BIG.xml"), LargeDescription));
    QVERIFY(tree->loadFormat(QStringLiteral("FC-BIG")));
    var("a").value = 0x5A;
    var("f").fileData = QByteArray(4998, 'x');
    var("f").fileLength = 4998;
    ModalDriver driver;
    FileDialogSeen dialog;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("big")), &dialog);
    trigger(QStringLiteral("Save &Binary"));
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    const QByteArray image = readFile(QStringLiteral("big.bin"));
    QCOMPARE(image.size(), 2 + 5001 + 2);
    QCOMPARE(image.left(3).toHex(' '), hex("89 13 5A").toHex(' ')); // 5001 bytes of data, then a
    // A CRC-16/MODBUS appended low byte first makes the CRC of the whole file zero.
    QCOMPARE(crc16(0xFFFF, reinterpret_cast<const uchar *>(image.constData()), int(image.size())), quint16(0));
    QCOMPARE(image.mid(3 + 2, 4998), QByteArray(4998, 'x'));
}

void TestFileCommands::save_cannotWrite_showsErrorAndKeepsPreviousFile_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("sizeLimit"); // 0: none

    QTest::newRow("image: folder is a file") << "Save &Binary" << "blocker/image.bin" << 0;
    QTest::newRow("image: write cut short") << "Save &Binary" << "image.bin" << 4096;
    QTest::newRow("values: folder is a file") << "&Save" << "blocker/conf.xml" << 0;
}

void TestFileCommands::save_cannotWrite_showsErrorAndKeepsPreviousFile()
{
    QFETCH(QString, action);
    QFETCH(QString, typed);
    QFETCH(int, sizeLimit);
    QVERIFY(writeFile(QStringLiteral("confxml/FC-BIG.xml"), LargeDescription));
    QVERIFY(tree->loadFormat(QStringLiteral("FC-BIG")));
    var("f").fileData = QByteArray(4998, 'x');
    var("f").fileLength = 4998;
    QVERIFY(writeFile(QStringLiteral("blocker"), "a file, not a folder"));
    QVERIFY(writeFile(QStringLiteral("image.bin"), "previous image"));

    ModalDriver driver;
    FileDialogSeen dialog;
    gui::BoxSeen box;
    answerFileDialog(driver, QDir().absoluteFilePath(typed), &dialog);
    if (QFileInfo::exists(typed)) {
        // The file dialog's own question; the user wants the file replaced.
        driver.then([](QWidget *modal) {
            auto *question = qobject_cast<QMessageBox *>(modal);
            QVERIFY(question && question->button(QMessageBox::Yes));
            QTest::mouseClick(question->button(QMessageBox::Yes), Qt::LeftButton);
        });
    }
    expectBox(driver, &box);
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (sizeLimit > 0) {
            limit = std::make_unique<FileSizeLimit>(rlim_t(sizeLimit));
            QVERIFY(limit->ok);
        }
        trigger(action);
    }
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    verifyBox(box, QMessageBox::Critical, QStringLiteral("Error"), QStringLiteral("Error saving file."));
    QCOMPARE(readFile(QStringLiteral("image.bin")), QByteArray("previous image"));
    QCOMPARE(readFile(QStringLiteral("blocker")), QByteArray("a file, not a folder"));
    // No temporary file is left beside the target.
    QCOMPARE(QDir().entryList(QDir::Files), (QStringList{QStringLiteral("blocker"), QStringLiteral("image.bin")}));
}

void TestFileCommands::saveThenOpen_restoresValues()
{
    loadDescription();
    var("a").value = 200;
    var("b").value = 40000;
    var("on").value = 1;
    {
        ModalDriver driver;
        FileDialogSeen dialog;
        answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("saved")), &dialog);
        trigger(QStringLiteral("&Save"));
        QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    }
    QVERIFY(readFile(QStringLiteral("saved.xml")).startsWith("<!DOCTYPE Configuration>\n<Configuration id=\"FC-1\">"));
    QVERIFY(tree->loadFormat(QStringLiteral("FC-1"))); // fresh format, initial values
    QCOMPARE(var("a").value, 0);
    {
        ModalDriver driver;
        FileDialogSeen dialog;
        answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("saved.xml")), &dialog);
        trigger(QStringLiteral("&Open"));
        QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    }
    QCOMPARE(var("a").value, 200);
    QCOMPARE(var("b").value, 40000);
    QCOMPARE(var("on").value, 1);
}

void TestFileCommands::open_loadsValuesAndRefreshes()
{
    loadDescription();
    QVERIFY(row(QStringLiteral("B"))->isHidden());
    QVERIFY(writeFile(QStringLiteral("values.xml"),
                      valueFile("FC-1", "<Var name=\"b\" value=\"42\"/>\n<Var name=\"on\" value=\"1\"/>\n")));
    ModalDriver driver;
    FileDialogSeen dialog;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("values.xml")), &dialog);
    trigger(QStringLiteral("&Open"));
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    QCOMPARE(dialog.caption, QStringLiteral("Open file"));
    QCOMPARE(dialog.mode, QFileDialog::AcceptOpen);
    QCOMPARE(dialog.filters,
             (QStringList{QStringLiteral("Configuration files (*.xml)"), QStringLiteral("Binary files (*.bin)")}));
    QCOMPARE(dialog.parent, static_cast<QWidget *>(window));
    // The values arrive after the description is installed; only the refresh shows them.
    QCOMPARE(row(QStringLiteral("B"))->text(1), tree->format->text(tree->format->idOf(QStringLiteral("b"))));
    QVERIFY(row(QStringLiteral("B"))->text(1).startsWith(QStringLiteral("42")));
    QVERIFY(!row(QStringLiteral("B"))->isHidden());
}

void TestFileCommands::open_missingDescription_fetchedFirst()
{
    CannedReply reply = CannedReply::make(200, "OK", Description);
    reply.pieces = {Description.left(20), Description.mid(20)};
    reply.pieceDelayMs = 300;
    server->setReply(reply);
    QVERIFY(writeFile(QStringLiteral("values.xml"), valueFile("FC-1", "<Var name=\"a\" value=\"9\"/>\n")));
    ModalDriver driver;
    FileDialogSeen dialog;
    bool downloadSeen = false;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("values.xml")), &dialog);
    expectDownloadDialog(driver, &downloadSeen);
    trigger(QStringLiteral("&Open"));
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    QVERIFY(downloadSeen);
    QVERIFY(server->onlyRequested("GET /confxml2/FC-1.xml HTTP/1.1"));
    QCOMPARE(tree->formatId, QStringLiteral("FC-1"));
    QCOMPARE(var("a").value, 9);
    QVERIFY(row(QStringLiteral("A"))->text(1).startsWith(QStringLiteral("9")));
}

void TestFileCommands::open_fails_showsErrorAndStillRefreshes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("fetches"); // the description is asked for and refused by the server

    QTest::newRow("not XML") << QByteArray("<Configuration id=\"FC-1\">") << false;
    QTest::newRow("description neither local nor obtainable")
        << valueFile("FC-2", "<Var name=\"a\" value=\"1\"/>\n") << true;
    QTest::newRow("unusable id") << valueFile("../FC-1", "<Var name=\"a\" value=\"1\"/>\n") << false;
}

void TestFileCommands::open_fails_showsErrorAndStillRefreshes()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, fetches);
    loadDescription();
    if (fetches) {
        CannedReply reply = CannedReply::make(404, "Not Found", "no such description");
        reply.pieces = {"no such ", "description"};
        reply.pieceDelayMs = 300;
        server->setReply(reply);
    }
    QVERIFY(writeFile(QStringLiteral("bad.xml"), content));
    // Values changed behind the tree's back: only a refresh brings rows and conditions up to date.
    ConfFormat *format = tree->format;
    var("b").value = 77;
    var("on").value = 1;
    QVERIFY(row(QStringLiteral("B"))->isHidden());
    QVERIFY(!row(QStringLiteral("B"))->text(1).startsWith(QStringLiteral("77")));

    ModalDriver driver;
    FileDialogSeen dialog;
    gui::BoxSeen box;
    bool downloadSeen = false;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("bad.xml")), &dialog);
    if (fetches)
        expectDownloadDialog(driver, &downloadSeen);
    expectBox(driver, &box);
    trigger(QStringLiteral("&Open"));
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    verifyBox(box, QMessageBox::Critical, QStringLiteral("Error"), QStringLiteral("Error loading file."));
    QCOMPARE(server->connections() > 0, fetches);
    QCOMPARE(downloadSeen, fetches);

    QCOMPARE(tree->format, format);
    QCOMPARE(tree->formatId, QStringLiteral("FC-1"));
    QVERIFY(row(QStringLiteral("B"))->text(1).startsWith(QStringLiteral("77")));
    QVERIFY(!row(QStringLiteral("B"))->isHidden());
}

void TestFileCommands::open_cancelled_changesNothing()
{
    loadDescription();
    ConfFormat *format = tree->format;
    var("b").value = 77;
    var("on").value = 1;
    const QString shown = row(QStringLiteral("B"))->text(1);
    ModalDriver driver;
    cancelFileDialog(driver);
    trigger(QStringLiteral("&Open"));
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    QCOMPARE(tree->format, format);
    // Nothing was refreshed either.
    QCOMPARE(row(QStringLiteral("B"))->text(1), shown);
    QVERIFY(row(QStringLiteral("B"))->isHidden());
}

void TestFileCommands::open_sameDescriptionTwice_eachLoadOneUndoStep()
{
    loadDescription();
    const auto open = [this](const QByteArray &vars) {
        QVERIFY(writeFile(QStringLiteral("values.xml"), valueFile("FC-1", vars)));
        ModalDriver driver;
        FileDialogSeen dialog;
        answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("values.xml")), &dialog);
        trigger(QStringLiteral("&Open"));
        QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    };
    open("<Var name=\"b\" value=\"42\"/>\n");
    open("<Var name=\"b\" value=\"7\"/>\n<Var name=\"on\" value=\"1\"/>\n");
    QCOMPARE(var("b").value, 7);
    QCOMPARE(tree->undoStack()->count(), 2);
    QCOMPARE(tree->undoStack()->undoText(), QStringLiteral("Open values.xml"));
    // What was opened is the baseline: nothing is changed, the title names the file.
    QCOMPARE(tree->changedCount(), 0);
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("values.xml")));

    tree->undoStack()->undo();
    QCOMPARE(var("b").value, 42);
    QCOMPARE(var("on").value, 0);
    QVERIFY(row(QStringLiteral("B"))->text(1).startsWith(QStringLiteral("42")));
    QVERIFY(row(QStringLiteral("B"))->isHidden()); // its condition reads "on" again
    QCOMPARE(tree->changedCount(), 2);
    QVERIFY(window->isWindowModified());
    tree->undoStack()->redo();
    QCOMPARE(var("b").value, 7);
}

void TestFileCommands::open_brokenDescription_messagesSayWhereAndBoxCarriesThem()
{
    QVERIFY(writeFile(QStringLiteral("confxml/FC-9.xml"),
                      "<Device id=\"FC-9\">\n<Format>\n<byte name=\"a\" size=\"x\"/>\n<frob name=\"b\"/>\n"
                      "</Format>\n<Tree name=\"T\"/></Device>\n"));
    QVERIFY(writeFile(QStringLiteral("values.xml"), valueFile("FC-9", "<Var name=\"a\" value=\"1\"/>\n")));
    server->setReply(CannedReply::make(404, "Not Found", "none"));
    ModalDriver driver;
    FileDialogSeen dialog;
    QString details;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("values.xml")), &dialog);
    bool downloadSeen = false;
    expectDownloadDialog(driver, &downloadSeen);
    driver.then([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        details = box->detailedText();
        gui::click(modal, QDialogButtonBox::Ok);
    });
    trigger(QStringLiteral("&Open"));
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    const QString messages = window->messagesPane()->text();
    QVERIFY(!window->messagesPane()->isHidden());
    // The line of the description that failed, with its file and line.
    QVERIFY2(messages.contains(QStringLiteral("confxml/FC-9.xml:4")), qPrintable(messages));
    QVERIFY2(details.contains(QStringLiteral("confxml/FC-9.xml:4")), qPrintable(details));
}

// The description edited beside the window is read anew; values and their baseline stay by
// name, and one that no longer loads changes nothing and says where it is wrong.
void TestFileCommands::reload_keepsValuesByName_data()
{
    QTest::addColumn<QByteArray>("edited");
    QTest::addColumn<bool>("loads");
    QByteArray added = Description;
    added.replace("<bool name=\"on\"/>", "<bool name=\"on\"/><byte name=\"c\"/>")
        .replace("</Tree>", "<Var var=\"c\" name=\"C\"/></Tree>");
    QByteArray broken = Description;
    broken.replace("<word name=\"b\"/>", "\n<frob name=\"b\"/>").replace("<bool name=\"on\"/>", "\n<blarg name=\"on\"/>");
    QTest::newRow("a variable added") << added << true;
    QTest::newRow("a kind it does not know") << broken << false;
}

void TestFileCommands::reload_keepsValuesByName()
{
    QFETCH(QByteArray, edited);
    QFETCH(bool, loads);
    loadDescription();
    var("b").value = 42;
    tree->valuesChanged();
    const ConfFormat *before = tree->format;
    QVERIFY(writeFile(QStringLiteral("confxml/FC-1.xml"), edited));
    // A window keeps the pane as the last one left it.
    window->messagesPane()->hide();
    trigger(QStringLiteral("&Reload description"));
    QCOMPARE(tree->format != before, loads);
    QCOMPARE(var("b").value, 42);
    QCOMPARE(tree->changedCount(), 1);
    QVERIFY(row(QStringLiteral("B"))->text(1).startsWith(QStringLiteral("42")));
    QCOMPARE(row(QStringLiteral("C")) != nullptr, loads);
    QCOMPARE(window->messagesPane()->isVisibleTo(window), !loads);
    if (!loads) {
        const QString messages = window->messagesPane()->text();
        // Every fault, each where it is, not only the first that stopped the loader.
        QVERIFY2(messages.contains(QStringLiteral("confxml/FC-1.xml:2")) && messages.contains(QStringLiteral("frob"))
                     && messages.contains(QStringLiteral("confxml/FC-1.xml:3")) && messages.contains(QStringLiteral("blarg")),
                 qPrintable(messages));
    }
}

// An image of the shown description opens as its values; one that does not fit changes
// nothing and says why.
void TestFileCommands::open_image_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("why"); // empty: it opens
    QTest::newRow("fits") << "" << "";
    QTest::newRow("one byte more") << "longer" << "it has 9 bytes, the description's image 8";
    QTest::newRow("bad CRC") << "crc" << "Bad CRC";
    QTest::newRow("other size in its header") << "header" << "Bad config size (got 5, need 4)";
    QTest::newRow("no description shown") << "none" << "No description for the image";
}

void TestFileCommands::open_image()
{
    QFETCH(QString, damage);
    QFETCH(QString, why);
    loadDescription();
    var("a").value = 5;
    var("b").value = 1234;
    QByteArray image = tree->format->pack();
    var("a").value = 0;
    var("b").value = 0;
    if (damage == QLatin1String("longer"))
        image.append('\0');
    else if (damage == QLatin1String("crc"))
        image[image.size() - 1] = char(image.back() ^ 1);
    else if (damage == QLatin1String("header"))
        image[0] = 5;
    if (damage == QLatin1String("none")) {
        delete window;
        window = new MainWindow;
        tree = window->confTree();
    }
    QVERIFY(writeFile(QStringLiteral("saved.BIN"), image));

    ModalDriver driver;
    FileDialogSeen dialog;
    gui::BoxSeen box;
    answerFileDialog(driver, QDir().absoluteFilePath(QStringLiteral("saved.BIN")), &dialog);
    if (!why.isEmpty())
        expectBox(driver, &box);
    trigger(QStringLiteral("&Open"));
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected.join(QLatin1Char('|')), QString());
    if (!why.isEmpty()) {
        verifyBox(box, QMessageBox::Critical, QStringLiteral("Error"), QStringLiteral("Error loading file."));
        QVERIFY2(box.details.contains(why), qPrintable(box.details));
        if (tree->format) {
            QCOMPARE(var("b").value, 0);
            QCOMPARE(tree->undoStack()->count(), 0);
        }
        return;
    }
    QCOMPARE(var("a").value, 5);
    QVERIFY(row(QStringLiteral("B"))->text(1).startsWith(QStringLiteral("1234")));
    QCOMPARE(tree->changedCount(), 0);
    QCOMPARE(tree->undoStack()->count(), 1);
    QCOMPARE(window->windowTitle().contains(QStringLiteral("saved.BIN")), true);
}

VANT_GUI_TEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
