#include "app/mainwindow.h"
#include "app/startup.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Source texts are UTF-8, which Qt 6 assumes, so no codec is chosen for them.
    QApplication app(argc, argv);
    Startup::addLibraryPaths();

    QTranslator qtTranslator;
    Startup::installTranslation(qtTranslator, QStringLiteral("qt_"));
    // Installed second, so it is asked before the framework's own translation.
    QTranslator appTranslator;
    Startup::installTranslation(appTranslator, QStringLiteral("vant-conf_"));

    MainWindow *window = new MainWindow;
    window->show();
    Startup::armQuitTimerForTests();
    app.exec(); // its value is not the program's: start and stop always end with 0

    // The destructor writes the layout, so it has to run while the application exists.
    delete window;
    return 0;
}
