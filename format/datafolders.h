#pragma once
// Where an installed program finds what it ships, and the per-user folder it works in when it
// is started where there are no descriptions: from the desktop menu the working directory is
// the home folder, which has no confxml/.
#include <QString>

namespace datafolders {

// The data an installed program ships, <prefix>/share/vant-conf, found from the executable in
// <prefix>/bin, so that any prefix (a package, /usr/local, a test's temporary one) works
// without a path built in.
QString shipped();
QString shippedTranslations(); // shipped() + "/translations"
QString shippedDescriptions(); // shipped() + "/confxml", samples included

// The per-user work folder: $XDG_DATA_HOME/VANT/Device-Configurator/work.
QString userWorkFolder();

// Makes `folder` with confxml/ in it and copies in each file of `descriptions` (recursively)
// that it does not hold yet. Nothing there is ever overwritten, so the user's edits and the
// descriptions fetched since stay; a package update still brings its new descriptions. A
// missing `descriptions` folder leaves confxml/ empty. False with *error when a folder cannot
// be made; a file that cannot be copied is only left out.
bool prepareWorkFolder(const QString &folder, const QString &descriptions, QString *error);

// The folder to work in: empty when the working directory has an entry named confxml (its
// descriptions are used as they always were); otherwise the user's work folder, prepared from
// `descriptions`. When it cannot be prepared, says why on standard error and gives empty.
QString chooseWorkFolder(const QString &descriptions = shippedDescriptions());

} // namespace datafolders
