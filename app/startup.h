#pragma once
// The steps of program start that main() runs, kept apart so that tests can run them too.
#include <QString>
#include <QStringList>

class QTranslator;

namespace Startup {

// The one translation the program has.
inline const QString UiLanguage = QStringLiteral("ru");

// Adds "./" and then "./lib" of the current working directory to the plug-in search path
// (so "./lib" is searched first); directories that do not exist are left out.
void addLibraryPaths();

// The folders an installed program's translations are in, searched in this order: its own
// (<prefix>/share/vant-conf/translations) and then Qt's, which holds qt_ru.qm.
QStringList installedTranslationFolders();

// True when the user's interface language (the first of the locale's UI languages) is UiLanguage.
bool localeWantsUiLanguage();

// Loads prefix + UiLanguage from the working directory; a file there is loaded whatever the
// locale, as the program always did. Without one, and only for a user whose locale asks for
// UiLanguage, from the first of `installed` that has it. The translator is installed in the
// application whatever the load gave: without a file the English source texts stay.
void installTranslation(QTranslator &translator, const QString &prefix, const QStringList &installed = {});

// A program started where there is no confxml/ (from the desktop menu, in the home folder)
// works in the user's work folder, prepared from `descriptions` on first start, so it finds
// the shipped descriptions and samples and has a folder to fetch into. Gives the folder it
// changed to, or empty when the working directory stays.
QString enterWorkFolder(const QString &descriptions);

// Test hook: when the environment variable VANT_CONF_QUIT_AFTER_MS holds a number, the event
// loop is ended that many milliseconds after start with exit value 1, without the close
// question, so that a test can run the real program to its end. Unset, it does nothing.
void armQuitTimerForTests();

} // namespace Startup
