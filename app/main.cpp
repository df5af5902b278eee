#include "app/devicemodule.h"
#include "app/mainwindow.h"
#include "app/modules.h"
#include "app/startup.h"
#include "device/hidbackend.h"
#include "download/ui/descriptiondownload.h"
#include "format/appidentity.h"
#include "format/datafolders.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTranslator>

#include <memory>

int main(int argc, char *argv[])
{
    // Source texts are UTF-8, which Qt 6 assumes, so no codec is chosen for them.
    QApplication app(argc, argv);
    setApplicationIdentity();
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.vant_devices.vantconf"));
    Startup::addLibraryPaths();
    // VANT_HID_SIM=<image file>: a simulated HID device, to try the program without the hardware.
    // Made before the window, so it outlives every worker the window starts. A relative path
    // names a file where the program was started, which need not stay the working directory.
    // The simulated devices live in the device module, which is then loaded at once; a module
    // that does not load is said here, and again by each device command in its box.
    std::unique_ptr<HidBackend> simulatedHid;
    if (const QString image = qEnvironmentVariable("VANT_HID_SIM"); !image.isEmpty()) {
        qputenv("VANT_HID_SIM", QFile::encodeName(QFileInfo(image).absoluteFilePath()));
        QString error;
        if (const DeviceModule *devices = modules::device(&error))
            simulatedHid = devices->simulatedHid();
        else
            modules::reportFailure(error, nullptr);
    }
    // A missing description is fetched by the dialog of the download module, loaded then.
    setDescriptionDownload(modules::downloadDescription);

    QTranslator qtTranslator;
    Startup::installTranslation(qtTranslator, QStringLiteral("qt_"), Startup::installedTranslationFolders());
    // Installed second, so it is asked before the framework's own translation.
    QTranslator appTranslator;
    Startup::installTranslation(appTranslator, QStringLiteral("vant-conf_"), Startup::installedTranslationFolders());
    // After the translations and plug-ins, which are looked for where the program was started.
    Startup::enterWorkFolder(datafolders::shippedDescriptions());

    MainWindow *window = new MainWindow;
    window->setHidBackend(simulatedHid.get());
    window->show();
    Startup::armQuitTimerForTests();
    app.exec(); // its value is not the program's: start and stop always end with 0

    // The destructor writes the layout, so it has to run while the application exists.
    delete window;
    return 0;
}
