// The yardsticks for the configurator's start-up, each ended the same way the configurator is
// ended when timed:
//   (no option)   the least a Qt Widgets program does to show a main window;
//   --shape       a window of the configurator's shape: what its first frame shows, made of
//                 plain Qt widgets (four menus entry for entry, the find bar, a two-column tree
//                 over a text browser with the start help, a status bar, a hidden dock);
//   --shape --outline  prints the shape's outline (bench/windowoutline.h) and ends;
//   --two-menus   only the File and Device menus and the tree over the text browser, the
//                 window as it was before the Edit and View menus and the bars came.
// What the configurator does beyond these (settings and the layout restored from them, the
// framework's translation, the work folder, the tree's own model) is what the comparison weighs.
#include "bench/windowoutline.h"

#include <QApplication>
#include <QDockWidget>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QTreeWidget>

#include <cstdio>

namespace {

QString tr(const char *text, const char *disambiguation = nullptr)
{
    return QCoreApplication::translate("MainWindow", text, disambiguation);
}

void addFileMenu(QMainWindow &window)
{
    QMenu *file = window.menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open"), QKeySequence(tr("Ctrl+O", "File|Open")));
    file->addAction(tr("&Save"), QKeySequence(tr("Ctrl+S", "File|Save")));
    file->addAction(tr("Save &Binary"), QKeySequence(tr("Ctrl+B", "File|SaveBin")));
    file->addSeparator();
    file->addAction(tr("E&xit"), QKeySequence(tr("Ctrl+X", "Exit")));
}

void addDeviceMenu(QMainWindow &window)
{
    QMenu *device = window.menuBar()->addMenu(tr("&Device"));
    device->addAction(tr("Read device &ID"), QKeySequence(tr("Ctrl+I", "Device|ID")));
    device->addSeparator();
    device->addAction(tr("&Download configuration"), QKeySequence(tr("Ctrl+D", "Device|Download")));
    device->addAction(tr("&Upload configuration"), QKeySequence(tr("Ctrl+U", "Device|Upload")));
    device->addAction(tr("Restore &backup..."));
    device->addAction(tr("&Provision..."));
    device->addSeparator();
    device->addAction(tr("Update firmwa&re"), QKeySequence(tr("Ctrl+R", "Device|Firmware")));
    device->addSeparator();
    device->addAction(tr("&Link settings"), QKeySequence(tr("Ctrl+C", "Device|Link")));
}

QTextBrowser *addTreeOverBrowser(QMainWindow &window)
{
    auto *splitter = new QSplitter(Qt::Vertical, &window);
    auto *tree = new QTreeWidget(splitter);
    tree->setColumnCount(2);
    tree->setHeaderLabels({QCoreApplication::translate("ConfTree", "Property"),
                           QCoreApplication::translate("ConfTree", "Value")});
    auto *browser = new QTextBrowser(splitter);
    window.setCentralWidget(splitter);
    return browser;
}

void buildShape(QMainWindow &window)
{
    window.setWindowTitle(tr("VANT /// Device Configurator") + QStringLiteral("[*]"));
    addFileMenu(window);
    QMenu *edit = window.menuBar()->addMenu(tr("&Edit"));
    QAction *undo = edit->addAction(tr("&Undo"), QKeySequence(tr("Ctrl+Z", "Edit|Undo")));
    QAction *redo = edit->addAction(tr("&Redo"));
    redo->setShortcuts({QKeySequence(tr("Ctrl+Shift+Z", "Edit|Redo")), QKeySequence(tr("Ctrl+Y", "Edit|Redo"))});
    undo->setEnabled(false);
    redo->setEnabled(false);
    edit->addSeparator();
    edit->addAction(tr("Revert &all"));
    edit->addSeparator();
    edit->addAction(tr("&Find"), QKeySequence(tr("Ctrl+F", "Edit|Find")));
    QMenu *view = window.menuBar()->addMenu(tr("&View"));
    view->addAction(tr("&Changed only"))->setCheckable(true);
    view->addAction(tr("Show &hidden rows"))->setCheckable(true);
    view->addSeparator();
    view->addAction(tr("&Reload description"), QKeySequence(tr("F5", "View|Reload")));
    addDeviceMenu(window);

    auto *findBar = new QToolBar(tr("Find"), &window);
    findBar->setMovable(false);
    auto *field = new QLineEdit(findBar);
    field->setPlaceholderText(tr("Find a setting (Ctrl+F)"));
    field->setClearButtonEnabled(true);
    findBar->addWidget(field);
    findBar->addWidget(new QLabel(findBar));
    window.addToolBar(Qt::TopToolBarArea, findBar);

    auto *messages = new QDockWidget(QCoreApplication::translate("MessagesPane", "Messages"), &window);
    window.addDockWidget(Qt::BottomDockWidgetArea, messages);
    messages->hide();
    view->addSeparator();
    view->addAction(messages->toggleViewAction());

    // The link, the device, the file and the count of changes; only the link says anything yet.
    for (int i = 0; i < 4; ++i)
        window.statusBar()->addWidget(new QLabel(i == 0 ? tr("Link: %1").arg(tr("automatic")) : QString(), &window));

    addTreeOverBrowser(window)->setHtml(
        tr("<p>To begin, download the configuration from the device (Device &gt; Download "
           "configuration, Ctrl+D) or open a value file (File &gt; Open, Ctrl+O).</p>"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Made before the window so that it outlives it: taking a translation away sends every
    // widget still there a language change, which the configurator's ending does not do.
    QTranslator translator;
    QMainWindow window;
    const bool shape = app.arguments().contains(QStringLiteral("--shape"));
    const bool twoMenus = app.arguments().contains(QStringLiteral("--two-menus"));
    if (shape || twoMenus) {
        // The configurator's own texts, in the language it shows when started in the same
        // folder: its translation is looked for there too. Stand-ins of other texts would spare
        // the yardstick the glyphs and the font fallback of the configurator's script.
        if (translator.load(QStringLiteral("vant-conf_ru"), QStringLiteral(".")))
            QCoreApplication::installTranslator(&translator);
        if (!translator.isEmpty() && (tr("&File") == QLatin1String("&File") || tr("&View") == QLatin1String("&View"))) {
            std::fprintf(stderr, "bench_emptywindow: the translation no longer has the menus' texts\n");
            return 1;
        }
        if (shape) {
            buildShape(window);
        } else {
            addFileMenu(window);
            addDeviceMenu(window);
            addTreeOverBrowser(window);
        }
    }
    if (app.arguments().contains(QStringLiteral("--outline"))) {
        std::printf("%s\n", qPrintable(windowOutline(window).join(QLatin1Char('\n'))));
        return 0;
    }
    window.resize(500, 400); // the configurator's first-start size
    window.show();
    bool ok = false;
    const int delayMs = qEnvironmentVariableIntValue("VANT_CONF_QUIT_AFTER_MS", &ok);
    if (ok && delayMs >= 0)
        QTimer::singleShot(delayMs, &app, [] { QCoreApplication::exit(1); });
    app.exec();
    return 0;
}
