// The main window: menus, panes, the close question, and the layout kept in the settings store.
#include "app/mainwindow.h"
#include "app/messagespane.h"
#include "format/confformat.h"
#include "tests/support/filecontents.h"
#include "tests/support/guitest.h"
#include "tests/support/menuentries.h"
#include "tree/confrow.h"
#include "tree/ui/conftree.h"
#include "tree/ui/qmytreewidgetitem.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDomDocument>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>

namespace {

const QStringList WindowKeys = {QStringLiteral("Window/State"), QStringLiteral("Window/Geometry"),
                                QStringLiteral("Window/Tree"), QStringLiteral("Window/Splitter")};

QSettings store()
{
    return QSettings(QStringLiteral("VANT"), QStringLiteral("Device-Configurator"));
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

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void menus_data();
    void menus();
    void construction_panesAndNothingElse();
    void firstStart_defaultLayout();
    void storedGeometry_usedOnlyWhenValid_data();
    void storedGeometry_usedOnlyWhenValid();
    void layout_writtenOnlyOnDestruction_restoredOnNextConstruction();
    void layout_rewrittenOnlyWhenItDiffersFromTheStore_data();
    void layout_rewrittenOnlyWhenItDiffersFromTheStore();
    void messagesPane_showsItsListHoweverItOpens_data();
    void messagesPane_showsItsListHoweverItOpens();
    void close_data();
    void close();
    void close_insideEventLoop_data();
    void close_insideEventLoop();
    void exitActionAndCtrlX_askFirst_data();
    void exitActionAndCtrlX_askFirst();
    void ctrlC_opensLinkSettingsInsteadOfCopying_data();
    void ctrlC_opensLinkSettingsInsteadOfCopying();
    void descriptionPane_showsWhatTheTreeSends();
    void findField_keysStayInsideIt();
    void changes_inTitleStatusAndExitQuestion();
};

void TestMainWindow::initTestCase()
{
    // Guard: the store must be the private one that main() set up, never the user's.
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    QVERIFY(!configHome.isEmpty());
    QVERIFY2(store().fileName().startsWith(configHome), qPrintable(store().fileName()));
}

void TestMainWindow::init()
{
    store().clear();
    store().sync();
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("file") << 0 << "&File"
                          << QStringList{"&Open|Ctrl+O", "&Save|Ctrl+S", "Save &Binary|Ctrl+B", "-",
                                         "E&xit|Ctrl+X"};
    QTest::newRow("edit") << 1 << "&Edit"
                          << QStringList{"&Undo|Ctrl+Z", "&Redo|Ctrl+Shift+Z", "-", "Revert &all|", "-",
                                         "&Find|Ctrl+F"};
    QTest::newRow("view") << 2 << "&View"
                          << QStringList{"&Changed only|", "Show &hidden rows|", "-", "&Reload description|F5", "-",
                                         "Messages|"};
    QTest::newRow("device") << 3 << "&Device"
                            << QStringList{"Read device &ID|Ctrl+I", "-",
                                           "&Download configuration|Ctrl+D",
                                           "&Upload configuration|Ctrl+U", "Restore &backup...|", "&Provision...|", "-",
                                           "Update firmwa&re|Ctrl+R", "-", "&Link settings|Ctrl+C"};
}

void TestMainWindow::menus()
{
    QFETCH(int, index);
    QFETCH(QString, title);
    QFETCH(QStringList, items);

    MainWindow window;
    const auto bar = window.menuBar()->actions();
    QCOMPARE(bar.size(), 4);
    QMenu *menu = bar.at(index)->menu();
    QVERIFY(menu);
    QCOMPARE(menu->title(), title);
    QCOMPARE(menu->parent(), &window);
    QCOMPARE(menuEntries(menu), items);
}

void TestMainWindow::construction_panesAndNothingElse()
{
    MainWindow window;
    // "[*]" is where the modified marker goes; it shows nothing while nothing changed.
    QCOMPARE(window.windowTitle(), QStringLiteral("VANT /// Device Configurator[*]"));
    QVERIFY(!window.isWindowModified());
    // The find bar above the tree and the status bar.
    QCOMPARE(window.findChildren<QToolBar *>().size(), 1);
    QCOMPARE(window.findChild<QToolBar *>()->findChild<QLineEdit *>(), window.filterField());
    QVERIFY(window.findChild<QStatusBar *>());

    QSplitter *splitter = window.splitterWidget();
    QCOMPARE(window.centralWidget(), splitter);
    QCOMPARE(splitter->orientation(), Qt::Vertical);
    QCOMPARE(splitter->count(), 2);
    QCOMPARE(splitter->widget(0), window.confTree());
    QCOMPARE(splitter->widget(1), window.descriptionPane());
    // An empty window says what to do first.
    QVERIFY2(window.descriptionPane()->toPlainText().contains(QLatin1String("Ctrl+D")),
             qPrintable(window.descriptionPane()->toPlainText()));
    QVERIFY(!window.confTree()->format);

    QCOMPARE(window.settingsStore()->parent(), &window);
    QCOMPARE(window.settingsStore()->organizationName(), QStringLiteral("VANT"));
    QCOMPARE(window.settingsStore()->applicationName(), QStringLiteral("Device-Configurator"));

    // The eight command slots, protected, without arguments, in this order.
    const QMetaObject *meta = window.metaObject();
    QStringList slotNames;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod m = meta->method(i);
        QCOMPARE(m.methodType(), QMetaMethod::Slot);
        QCOMPARE(m.access(), QMetaMethod::Protected);
        slotNames << QString::fromLatin1(m.methodSignature());
    }
    QCOMPARE(slotNames, (QStringList{"fileOpen()", "fileSave()", "fileSaveBin()", "devID()",
                                     "devDownload()", "devUpload()", "devFirmware()", "devRestore()", "devProvision()",
                                     "devCOMport()"}));
}

void TestMainWindow::firstStart_defaultLayout()
{
    MainWindow window;
    QCOMPARE(window.geometry(), QRect(100, 100, 500, 400));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.geometry(), QRect(100, 100, 500, 400));
}

void TestMainWindow::storedGeometry_usedOnlyWhenValid_data()
{
    // The value as it stands in the settings file.
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QRect>("geometry");
    const QRect defaultGeometry(100, 100, 500, 400);
    QTest::newRow("empty") << QByteArray("") << defaultGeometry;
    QTest::newRow("garbage") << QByteArray("window please") << defaultGeometry;
    QTest::newRow("rectangle cut short") << QByteArray("@Rect(10 20)") << defaultGeometry;
    QTest::newRow("a size, not a rectangle") << QByteArray("@Size(640 480)") << defaultGeometry;
    QTest::newRow("zero size") << QByteArray("@Rect(10 20 0 0)") << defaultGeometry;
    QTest::newRow("zero height") << QByteArray("@Rect(10 20 640 0)") << defaultGeometry;
    QTest::newRow("negative size") << QByteArray("@Rect(10 20 -640 -480)") << defaultGeometry;
    QTest::newRow("valid") << QByteArray("@Rect(30 40 640 480)") << QRect(30, 40, 640, 480);
    // A screen left of or above the first one has negative coordinates.
    QTest::newRow("negative position, valid size") << QByteArray("@Rect(-600 -20 640 480)") << QRect(-600, -20, 640, 480);
}

void TestMainWindow::storedGeometry_usedOnlyWhenValid()
{
    QFETCH(QByteArray, stored);
    QFETCH(QRect, geometry);
    {
        QFile file(store().fileName());
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.write("[Window]\nGeometry=" + stored + "\n") > 0);
    }
    MainWindow window;
    QCOMPARE(window.geometry(), geometry);
}

void TestMainWindow::layout_writtenOnlyOnDestruction_restoredOnNextConstruction()
{
    auto *first = new MainWindow;
    first->show();
    QVERIFY(QTest::qWaitForWindowExposed(first));
    first->setGeometry(QRect(30, 40, 640, 480));
    first->splitterWidget()->setSizes({300, 120});
    first->confTree()->header()->resizeSection(0, 123);
    QTRY_COMPARE(first->geometry(), QRect(30, 40, 640, 480));
    const QList<int> sizes = first->splitterWidget()->sizes();
    const QByteArray mainState = first->saveState(0);

    // A refused close writes nothing either.
    ModalDriver driver;
    driver.then([](QWidget *modal) { gui::click(modal, QDialogButtonBox::No); });
    QVERIFY(!first->close());
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(store().allKeys(), QStringList());

    delete first;
    QSettings after = store();
    for (const QString &key : WindowKeys)
        QVERIFY2(after.contains(key), qPrintable(key));
    QCOMPARE(after.value(QStringLiteral("Window/Geometry")).toRect(), QRect(30, 40, 640, 480));
    QCOMPARE(after.value(QStringLiteral("Window/State")).toByteArray(), mainState);

    MainWindow second;
    QCOMPARE(second.geometry(), QRect(30, 40, 640, 480));
    QCOMPARE(second.confTree()->header()->sectionSize(0), 123);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QCOMPARE(second.splitterWidget()->sizes(), sizes);
    QCOMPARE(second.saveState(0), mainState);
    QCOMPARE(second.geometry(), QRect(30, 40, 640, 480));
}

// A comment in the store's file, which a rewrite of the file does not keep.
const QByteArray Untouched = "; not rewritten\n";

void TestMainWindow::layout_rewrittenOnlyWhenItDiffersFromTheStore_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("nothing moved") << "" << false;
    QTest::newRow("window moved") << "move" << true;
    QTest::newRow("store removed") << "remove" << true;
    QTest::newRow("store edited") << "edit" << true;
}

void TestMainWindow::layout_rewrittenOnlyWhenItDiffersFromTheStore()
{
    QFETCH(QString, meanwhile);
    QFETCH(bool, rewritten);
    const QRect stored(30, 40, 640, 480);
    {
        MainWindow first;
        first.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        first.setGeometry(stored);
        QTRY_COMPARE(first.geometry(), stored);
    }
    {
        QFile file(store().fileName());
        QVERIFY(file.open(QIODevice::Append));
        QVERIFY(file.write(Untouched) == Untouched.size());
    }

    {
        MainWindow second;
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QCOMPARE(second.geometry(), stored);
        if (meanwhile == QLatin1String("move"))
            second.setGeometry(QRect(50, 60, 600, 450));
        // Behind the window's back, as another program would: its store still holds what it
        // read at start.
        if (meanwhile == QLatin1String("remove"))
            QVERIFY(QFile::remove(store().fileName()));
        if (meanwhile == QLatin1String("edit"))
            QVERIFY(writeFile(store().fileName(), "[Window]\nGeometry=@Rect(1 2 300 200)\n"));
    }

    QCOMPARE(!readFile(store().fileName()).contains(Untouched), rewritten);
    const QSettings after = store();
    for (const QString &key : WindowKeys)
        QVERIFY2(after.contains(key), qPrintable(key));
    QCOMPARE(after.value(QStringLiteral("Window/Geometry")).toRect(),
             meanwhile == QLatin1String("move") ? QRect(50, 60, 600, 450) : stored);
}

void TestMainWindow::messagesPane_showsItsListHoweverItOpens_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("View menu") << "menu";
    QTest::newRow("messages of a command") << "messages";
    QTest::newRow("left open last time") << "restored";
}

void TestMainWindow::messagesPane_showsItsListHoweverItOpens()
{
    QFETCH(QString, how);
    if (how == QLatin1String("restored")) {
        MainWindow last;
        last.show();
        QVERIFY(QTest::qWaitForWindowExposed(&last));
        last.messagesPane()->show();
    }
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MessagesPane *pane = window.messagesPane();
    QCOMPARE(pane->isVisible(), how == QLatin1String("restored"));
    if (how == QLatin1String("menu"))
        actionNamed(window, QStringLiteral("Messages"))->trigger();
    Diagnostic d;
    d.text = QStringLiteral("Bad value\n");
    d.severity = DiagSeverity::Error;
    if (how == QLatin1String("messages")) {
        pane->setMessages({d});
        pane->show();
    }

    QVERIFY(pane->isVisible());
    auto *list = qobject_cast<QTreeWidget *>(pane->widget());
    QVERIFY(list);
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(list->columnCount(), 3);
    QVERIFY(list->width() > 0 && list->height() > 0);
    pane->setMessages({d});
    QCOMPARE(pane->text(), QStringLiteral("Error\t\tBad value"));
    QCOMPARE(list->topLevelItemCount(), 1);
}

void TestMainWindow::close_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closes");

    QTest::newRow("no_staysOpen") << "no" << false;
    QTest::newRow("escape_staysOpen") << "escape" << false;
    QTest::newRow("yes_closes") << "yes" << true;
}

void TestMainWindow::close()
{
    QFETCH(QString, answer);
    QFETCH(bool, closes);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    ModalDriver driver;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) {
        box = gui::readBox(modal);
        if (answer == QLatin1String("escape"))
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            gui::click(modal, answer == QLatin1String("yes") ? QDialogButtonBox::Yes
                                                             : QDialogButtonBox::No);
    });

    QCOMPARE(window.close(), closes);
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(box.title, QStringLiteral("Question"));
    QCOMPARE(box.text, QStringLiteral("Do you really want to exit ?"));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.defaultButton, QMessageBox::No);
    QCOMPARE(box.parent, &window);

    QCOMPARE(window.isVisible(), !closes);
    QCOMPARE(store().allKeys(), QStringList()); // nothing is saved when closing
}

void TestMainWindow::close_insideEventLoop_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("loopResult");
    // 7 comes from the timer that ends a loop still running; 0 from the loop ending by itself
    // when its last window closes.
    QTest::newRow("refused_keepsTheLoopRunning") << false << 7;
    QTest::newRow("confirmed_endsTheLoop") << true << 0;
}

void TestMainWindow::close_insideEventLoop()
{
    QFETCH(bool, confirm);
    QFETCH(int, loopResult);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    ModalDriver driver;
    driver.then([confirm](QWidget *modal) {
        gui::click(modal, confirm ? QDialogButtonBox::Yes : QDialogButtonBox::No);
    });
    QTimer closeSoon;
    closeSoon.setSingleShot(true);
    connect(&closeSoon, &QTimer::timeout, &window, &QWidget::close);
    QTimer endLater;
    endLater.setSingleShot(true);
    bool visibleAtEnd = false;
    connect(&endLater, &QTimer::timeout, this, [&] {
        visibleAtEnd = window.isVisible();
        QCoreApplication::exit(7);
    });
    closeSoon.start(0);
    endLater.start(300);

    QCOMPARE(QCoreApplication::exec(), loopResult);
    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(visibleAtEnd, !confirm);
    QCOMPARE(window.isVisible(), !confirm);
}

void TestMainWindow::exitActionAndCtrlX_askFirst_data()
{
    QTest::addColumn<bool>("byShortcut");
    QTest::newRow("menuAction") << false;
    QTest::newRow("ctrlX") << true;
}

void TestMainWindow::exitActionAndCtrlX_askFirst()
{
    QFETCH(bool, byShortcut);

    MainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    ModalDriver driver;
    QString asked;
    driver.then([&](QWidget *modal) {
        asked = gui::readBox(modal).text;
        gui::click(modal, QDialogButtonBox::No);
    });
    if (byShortcut)
        QTest::keyClick(window.confTree(), Qt::Key_X, Qt::ControlModifier);
    else
        actionNamed(window, QStringLiteral("E&xit"))->trigger();
    QTRY_COMPARE(driver.pendingSteps(), 0);
    QCOMPARE(asked, QStringLiteral("Do you really want to exit ?"));
    QVERIFY(window.isVisible());
}

void TestMainWindow::ctrlC_opensLinkSettingsInsteadOfCopying_data()
{
    QTest::addColumn<bool>("inPane"); // focus in the description pane with selected text
    QTest::newRow("focusInTree") << false;
    QTest::newRow("focusInPaneWithSelection") << true;
}

void TestMainWindow::ctrlC_opensLinkSettingsInsteadOfCopying()
{
    QFETCH(bool, inPane);

    MainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    QWidget *target = window.confTree();
    if (inPane) {
        QTextBrowser *pane = window.descriptionPane();
        pane->setPlainText(QStringLiteral("selected text"));
        pane->selectAll();
        target = pane;
    }
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());

    QAction *link = actionNamed(window, QStringLiteral("&Link settings"));
    QVERIFY(link);
    QSignalSpy triggered(link, &QAction::triggered);
    ModalDriver driver;
    driver.then([](QWidget *modal) { // whatever the command opens, close it
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
    QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
    QTRY_COMPARE(triggered.size(), 1);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

void TestMainWindow::descriptionPane_showsWhatTheTreeSends()
{
    MainWindow window;
    ConfTree *tree = window.confTree();
    QDomDocument doc;
    QVERIFY(doc.setContent(QStringLiteral(
        "<D id=\"P\"><Format><byte name=\"a\"/></Format>"
        "<Tree name=\"Top\"><Desc>About the <b>device</b></Desc>"
        "<Var var=\"a\" name=\"A\">Alpha value</Var></Tree></D>")));
    const QDomElement root = doc.documentElement();
    std::unique_ptr<ConfFormat> format(
        ConfFormat::create(QStringLiteral("P"), root.firstChildElement(QStringLiteral("Format"))));
    QVERIFY(format);
    std::unique_ptr<ConfRow> rows = tree->loadGroup(root.firstChildElement(QStringLiteral("Tree")), format.get());
    QVERIFY(rows);
    tree->install(std::move(format), QStringLiteral("P"), std::move(rows));
    auto *top = static_cast<QMyTreeWidgetItem *>(tree->topLevelItem(0));

    // The pane renders exactly the HTML the row carries.
    const auto rendered = [](const QString &html) {
        QTextDocument doc;
        doc.setHtml(html);
        return doc.toPlainText();
    };
    tree->setCurrentItem(top);
    QVERIFY(window.descriptionPane()->toPlainText().startsWith(QStringLiteral("About the device")));
    QCOMPARE(window.descriptionPane()->toPlainText(), rendered(top->confRow()->desc()));
    tree->setCurrentItem(top->child(0));
    QVERIFY(window.descriptionPane()->toPlainText().startsWith(QStringLiteral("Alpha value")));
    QCOMPARE(window.descriptionPane()->toPlainText(),
             rendered(static_cast<QMyTreeWidgetItem *>(top->child(0))->confRow()->desc()));

    emit tree->showDesc(QString());
    QVERIFY(window.descriptionPane()->toPlainText().isEmpty());
}

void TestMainWindow::findField_keysStayInsideIt()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QLineEdit *field = window.filterField();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, QStringLiteral("baud"));
    QCOMPARE(field->text(), QStringLiteral("baud"));

    // Copy and cut work on the field's text; neither opens the link settings nor leaves.
    ModalDriver driver; // any dialog that opened would be unexpected
    field->selectAll();
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("baud"));
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(field->text(), QString());
    QVERIFY(window.isVisible());
    QTest::keyClicks(field, QStringLiteral("x"));
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->text(), QString());
    QCOMPARE(driver.unexpected, QStringList());
}

void TestMainWindow::changes_inTitleStatusAndExitQuestion()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ConfTree *tree = window.confTree();
    QDomDocument doc;
    QVERIFY(doc.setContent(QStringLiteral("<D id=\"P\"><Format><byte name=\"a\"/></Format>"
                                          "<Tree name=\"Top\"><Var var=\"a\" name=\"A\"/></Tree></D>")));
    const QDomElement root = doc.documentElement();
    std::unique_ptr<ConfFormat> format(
        ConfFormat::create(QStringLiteral("P"), root.firstChildElement(QStringLiteral("Format"))));
    std::unique_ptr<ConfRow> rows = tree->loadGroup(root.firstChildElement(QStringLiteral("Tree")), format.get());
    tree->install(std::move(format), QStringLiteral("P"), std::move(rows));
    QVERIFY(!window.isWindowModified());

    tree->format->varByName(QStringLiteral("a"))->value = 3;
    tree->valuesChanged({QStringLiteral("a")});
    QVERIFY(window.isWindowModified());
    QVERIFY(window.statusBar()->findChildren<QLabel *>().size() >= 4);
    bool counted = false;
    for (const QLabel *label : window.statusBar()->findChildren<QLabel *>())
        counted = counted || label->text() == QStringLiteral("Changed: 1");
    QVERIFY(counted);

    ModalDriver driver;
    gui::BoxSeen box;
    driver.then([&](QWidget *modal) {
        box = gui::readBox(modal);
        gui::click(modal, QDialogButtonBox::No);
    });
    QVERIFY(!window.close());
    QCOMPARE(box.text, QStringLiteral("Values changed and not saved: 1.\nDo you really want to exit ?"));

    tree->setBaseline();
    QVERIFY(!window.isWindowModified());
}

VANT_GUI_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
