// The yardstick for the configurator's start-up: the least a Qt Widgets program does to show
// a main window, ended the same way the configurator is ended when timed.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(500, 400); // the configurator's first-start size
    window.show();
    bool ok = false;
    const int delayMs = qEnvironmentVariableIntValue("VANT_CONF_QUIT_AFTER_MS", &ok);
    if (ok && delayMs >= 0)
        QTimer::singleShot(delayMs, &app, [] { QCoreApplication::exit(1); });
    app.exec();
    return 0;
}
