#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <QTranslator>

namespace Startup {

void addLibraryPaths()
{
    for (const QString &path : {QStringLiteral("./"), QStringLiteral("./lib")}) {
        const QDir dir(QDir::current().absoluteFilePath(path));
        if (dir.exists())
            QCoreApplication::addLibraryPath(dir.absolutePath());
    }
}

void installTranslation(QTranslator &translator, const QString &prefix)
{
    // A missing file is no error: the translator then stays empty.
    (void)translator.load(prefix + UiLanguage, QStringLiteral("."));
    QCoreApplication::installTranslator(&translator);
}

void armQuitTimerForTests()
{
    bool ok = false;
    const int delayMs = qEnvironmentVariableIntValue("VANT_CONF_QUIT_AFTER_MS", &ok);
    if (!ok || delayMs < 0)
        return;
    QTimer::singleShot(delayMs, qApp, [] { QCoreApplication::exit(1); });
}

} // namespace Startup
