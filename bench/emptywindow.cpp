// The yardsticks for the configurator's start-up: the least a Qt Widgets program does to show
// a main window and, with "--shape", a window of the configurator's shape (a menu bar with two
// menus, a two-column tree over a text browser in a splitter), each ended the same way the
// configurator is ended when timed.
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Made before the window so that it outlives it: taking a translation away sends every
    // widget still there a language change, which the configurator's ending does not do.
    QTranslator translator;
    QMainWindow window;
    if (app.arguments().contains(QStringLiteral("--shape"))) {
        // The configurator's own File and Device menus, entry for entry, and its tree's header,
        // in the language it shows when started in the same folder: its translation is looked
        // for there too. Stand-ins of other texts would spare the yardstick the glyphs and the
        // font fallback of the configurator's script.
        if (translator.load(QStringLiteral("vant-conf_ru"), QStringLiteral(".")))
            QCoreApplication::installTranslator(&translator);
        const auto tr = [](const char *text, const char *disambiguation = nullptr) {
            return QCoreApplication::translate("MainWindow", text, disambiguation);
        };
        if (!translator.isEmpty() && tr("&File") == QLatin1String("&File")) {
            std::fprintf(stderr, "bench_emptywindow: the translation no longer has the menus' texts\n");
            return 1;
        }
        QMenu *file = window.menuBar()->addMenu(tr("&File"));
        file->addAction(tr("&Open"), QKeySequence(tr("Ctrl+O", "File|Open")));
        file->addAction(tr("&Save"), QKeySequence(tr("Ctrl+S", "File|Save")));
        file->addAction(tr("Save &Binary"), QKeySequence(tr("Ctrl+B", "File|SaveBin")));
        file->addSeparator();
        file->addAction(tr("E&xit"), QKeySequence(tr("Ctrl+X", "Exit")));
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
        auto *splitter = new QSplitter(Qt::Vertical, &window);
        auto *tree = new QTreeWidget(splitter);
        tree->setColumnCount(2);
        tree->setHeaderLabels({QCoreApplication::translate("ConfTree", "Property"),
                               QCoreApplication::translate("ConfTree", "Value")});
        new QTextBrowser(splitter);
        window.setCentralWidget(splitter);
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
