#pragma once
// What the window loads the first time it is used, rather than at start: the device
// module (app/devicemodule.h) and the download module (download/ui/descriptiondownload.h).
// Each is a shared library, vant-conf-device.so and vant-conf-download.so, looked for beside the
// executable (a build) and then in the installed program's library folder. A module linked into
// the program itself (the tests, the tools) is used instead of the file.
#include <QString>
#include <QStringList>

struct DeviceModule;
struct DownloadModule;
class QWidget;

namespace modules {

inline const QString DeviceModuleFile = QStringLiteral("vant-conf-device.so");
inline const QString DownloadModuleFile = QStringLiteral("vant-conf-download.so");

// Where the module files are looked for, in order: the executable's folder, then
// <prefix>/<libdir>/vant-conf for the executable in <prefix>/bin.
QStringList folders();

// The entry point `entry` of the first `fileName` in `folders`, the library loaded with all its
// symbols bound and kept loaded; null with *error saying which file failed and why.
using EntryPoint = const void *(*)();
EntryPoint loadEntry(const QString &fileName, const char *entry, const QStringList &folders, QString *error);

// The entry's table checked against this program; null with *error when the module was built
// for another program or another version of it.
const DeviceModule *checkedDeviceModule(EntryPoint entry, const QString &fileName, QString *error);
const DownloadModule *checkedDownloadModule(EntryPoint entry, const QString &fileName, QString *error);

// The device commands: those linked in when useLinkedDevice named them, otherwise the device
// module, loaded once; null with *error when it cannot be loaded.
const DeviceModule *device(QString *error);
void useLinkedDevice(const DeviceModule *module);

// The download module, loaded once; null with *error when it cannot be loaded.
const DownloadModule *download(QString *error);
// The download dialog from the download module: the description download the window sets at
// start (setDescriptionDownload). A module that does not load is reported as by reportFailure
// and fetches nothing.
bool downloadDescription(const QString &id, QWidget *parent);

// Tells the user that a module of the program did not load, and why: an error on the
// diagnostics channel and, with a parent, a message box over it.
void reportFailure(const QString &error, QWidget *parent);

} // namespace modules
