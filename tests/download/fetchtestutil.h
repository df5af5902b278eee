#pragma once
// Shared pieces of the download tests: a working directory with confxml/, and
// the diagnostic lines captured while a test runs.
#include "tests/support/diagcapture.h"
#include "format/diag.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/support/fileaccess.h"

// Makes a fresh temporary folder the working directory (with "confxml/" in it)
// and restores the previous one afterwards.
class WorkDir
{
public:
    explicit WorkDir(bool withConfxml = true)
        : previous_(QDir::currentPath())
    {
        if (!dir_.isValid())
            return;
        ok_ = QDir::setCurrent(dir_.path()) && (!withConfxml || QDir().mkdir(QStringLiteral("confxml")));
    }
    ~WorkDir() { QDir::setCurrent(previous_); }
    bool isValid() const { return ok_; }
    QString path() const { return dir_.path(); }

private:
    QString previous_;
    QTemporaryDir dir_;
    bool ok_ = false;
};


inline bool writeFile(const QString &name, const QByteArray &data)
{
    QFile f(name);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

inline QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// True once part of the body of the description of id sits in its temporary file
// beside the description.
inline bool partOnDisk(const QString &id)
{
    const QFileInfoList parts = QDir(QStringLiteral("confxml")).entryInfoList({id + QStringLiteral(".xml.part-*")},
                                                                           QDir::Files | QDir::Hidden);
    return !parts.isEmpty() && parts.first().size() > 0;
}

// Every entry of a folder, hidden ones included, so that a temporary file left
// behind shows.
inline QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
