// The yardsticks for the configurator's start-up: the least a Qt Widgets program does to show
// a main window and, with "--shape", a window of the configurator's shape (a menu bar with two
// menus, a two-column tree over a text browser in a splitter), each ended the same way the
// configurator is ended when timed.
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    if (app.arguments().contains(QStringLiteral("--shape"))) {
        QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
        file->addAction(QStringLiteral("&Open"));
        QMenu *device = window.menuBar()->addMenu(QStringLiteral("&Device"));
        device->addAction(QStringLiteral("&Download configuration"));
        auto *splitter = new QSplitter(Qt::Vertical, &window);
        auto *tree = new QTreeWidget(splitter);
        tree->setColumnCount(2);
        tree->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
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
