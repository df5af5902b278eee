#include "app/startup.h"

#include "format/datafolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
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

QStringList installedTranslationFolders()
{
    return {datafolders::shippedTranslations(), QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

bool localeWantsUiLanguage()
{
    // QLocale() is the system's unless a test set another default.
    const QString first = QLocale().uiLanguages().value(0);
    return QLocale(first).language() == QLocale(UiLanguage).language();
}

void installTranslation(QTranslator &translator, const QString &prefix, const QStringList &installed)
{
    // A missing file is no error: the translator then stays empty.
    const QString name = prefix + UiLanguage;
    if (!translator.load(name, QStringLiteral(".")) && localeWantsUiLanguage()) {
        for (const QString &folder : installed) {
            if (translator.load(name, folder))
                break;
        }
    }
    QCoreApplication::installTranslator(&translator);
}

QString enterWorkFolder(const QString &descriptions)
{
    const QString folder = datafolders::chooseWorkFolder(descriptions);
    if (!folder.isEmpty() && !QDir::setCurrent(folder))
        return QString();
    return folder;
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
