#include "format/datafolders.h"

#include "format/diag.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace datafolders {

QString shipped()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/vant-conf"));
}

QString shippedTranslations()
{
    return shipped() + QStringLiteral("/translations");
}

QString shippedDescriptions()
{
    return shipped() + QStringLiteral("/confxml");
}

QString userWorkFolder()
{
    // The backups live beside it, under the same per-user data location.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/work");
}

bool prepareWorkFolder(const QString &folder, const QString &descriptions, QString *error)
{
    const QString target = folder + QStringLiteral("/confxml");
    if (!QDir().mkpath(target)) {
        *error = QStringLiteral("cannot create the folder %1").arg(target);
        return false;
    }
    QDirIterator it(descriptions, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString to = target + QLatin1Char('/') + QDir(descriptions).relativeFilePath(from);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(to)) {
                *error = QStringLiteral("cannot create the folder %1").arg(to);
                return false;
            }
        } else if (!QFileInfo::exists(to) && QFile::copy(from, to)) {
            // Installed files are read-only; the user's copies are theirs to edit.
            QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner);
        }
    }
    return true;
}

QString chooseWorkFolder(const QString &descriptions)
{
    if (QFileInfo::exists(QStringLiteral("confxml")))
        return QString();
    const QString folder = userWorkFolder();
    QString error;
    if (!prepareWorkFolder(folder, descriptions, &error)) {
        diagErr("%s; descriptions stay in confxml/ of the working directory\n", qPrintable(error));
        return QString();
    }
    return folder;
}

} // namespace datafolders
