#include "app/modules.h"

#include "app/devicemodule.h"
#include "app/mainwindow.h"
#include "download/ui/descriptiondownload.h"
#include "format/diag.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMessageBox>

namespace modules {

namespace {

const DeviceModule *linkedDevice = nullptr;

// Compared with what a module took for the same symbol: equal only when the module's
// references were bound to this program's definitions.
const void *programDiagChannel()
{
    return reinterpret_cast<const void *>(&diagReport);
}

QString builtForAnother(const QString &fileName)
{
    return QStringLiteral("%1 was built for another version of the program").arg(fileName);
}

} // namespace

QStringList folders()
{
    const QString bin = QCoreApplication::applicationDirPath();
    return {bin, QDir::cleanPath(bin + QStringLiteral("/" VANT_MODULES_FROM_BIN))};
}

EntryPoint loadEntry(const QString &fileName, const char *entry, const QStringList &folders, QString *error)
{
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(fileName);
        if (!QFileInfo(path).isFile())
            continue;
        // Every symbol bound now, so that a module missing one fails here rather than in the
        // middle of a command; never unloaded, since what it made may outlive any caller.
        QLibrary library(path);
        library.setLoadHints(QLibrary::ResolveAllSymbolsHint | QLibrary::PreventUnloadHint);
        if (!library.load()) {
            *error = QStringLiteral("%1: %2").arg(path, library.errorString());
            return nullptr;
        }
        const auto function = reinterpret_cast<EntryPoint>(library.resolve(entry));
        if (!function)
            *error = QStringLiteral("%1: no entry point %2").arg(path, QLatin1String(entry));
        return function;
    }
    *error = QStringLiteral("%1 is in none of %2").arg(fileName, folders.join(QStringLiteral(", ")));
    return nullptr;
}

const DeviceModule *checkedDeviceModule(EntryPoint entry, const QString &fileName, QString *error)
{
    const auto *module = static_cast<const DeviceModule *>(entry());
    if (!module || module->abi != DeviceModuleAbi || module->windowSize != sizeof(MainWindow)
        || module->diagChannel != programDiagChannel()) {
        *error = builtForAnother(fileName);
        return nullptr;
    }
    return module;
}

const DownloadModule *checkedDownloadModule(EntryPoint entry, const QString &fileName, QString *error)
{
    const auto *module = static_cast<const DownloadModule *>(entry());
    if (!module || module->abi != DownloadModuleAbi || module->diagChannel != programDiagChannel()) {
        *error = builtForAnother(fileName);
        return nullptr;
    }
    return module;
}

void useLinkedDevice(const DeviceModule *module)
{
    linkedDevice = module;
}

const DeviceModule *device(QString *error)
{
    static const DeviceModule *loaded = nullptr;
    if (linkedDevice)
        return linkedDevice;
    if (!loaded) {
        if (const EntryPoint entry = loadEntry(DeviceModuleFile, DeviceModuleEntry, folders(), error))
            loaded = checkedDeviceModule(entry, DeviceModuleFile, error);
    }
    return loaded;
}

const DownloadModule *download(QString *error)
{
    static const DownloadModule *loaded = nullptr;
    if (!loaded) {
        if (const EntryPoint entry = loadEntry(DownloadModuleFile, DownloadModuleEntry, folders(), error))
            loaded = checkedDownloadModule(entry, DownloadModuleFile, error);
    }
    return loaded;
}

bool downloadDescription(const QString &id, QWidget *parent)
{
    QString error;
    const DownloadModule *module = download(&error);
    if (!module) {
        reportFailure(error, parent);
        return false;
    }
    return module->download(id, parent);
}

void reportFailure(const QString &error, QWidget *parent)
{
    diagErr("Cannot load a module of the program: %s\n", qPrintable(error));
    if (parent) {
        QMessageBox::critical(parent, QCoreApplication::translate("MainWindow", "Error"),
                              QCoreApplication::translate("MainWindow", "A module of the program could not be loaded:\n%1")
                                  .arg(error));
    }
}

} // namespace modules
