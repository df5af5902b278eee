#pragma once
// The steps of program start that main() runs, kept apart so that tests can run them too.
#include <QString>

class QTranslator;

namespace Startup {

// The interface language does not follow the system locale: every start loads "ru".
inline const QString UiLanguage = QStringLiteral("ru");

// Adds "./" and then "./lib" of the current working directory to the plug-in search path
// (so "./lib" is searched first); directories that do not exist are left out.
void addLibraryPaths();

// Loads prefix + UiLanguage from the working directory and installs the translator in the
// application whatever the load gave: without a file the English source texts stay.
void installTranslation(QTranslator &translator, const QString &prefix);

// Test hook: when the environment variable VANT_CONF_QUIT_AFTER_MS holds a number, the event
// loop is ended that many milliseconds after start with exit value 1, without the close
// question, so that a test can run the real program to its end. Unset, it does nothing.
void armQuitTimerForTests();

} // namespace Startup
