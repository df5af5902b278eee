#include "format/wholefile.h"

#include <QSaveFile>

bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // A folder we may not write can hold a file we may (a shared folder, a file
    // handed to us by its owner): no temporary file can be made beside it, so the
    // file is written in place, as it was before this writer went through a
    // temporary file. A write cut short is still caught below, though the previous
    // contents are then gone.
    file.setDirectWriteFallback(true);
    const auto fail = [&] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    if (file.write(bytes) != bytes.size())
        return fail();
    // The buffered bytes reach the disk here. commit() closes the file without looking at
    // the outcome of this last write and would rename a cut-off file into place, so it is
    // checked first.
    if (!file.flush())
        return fail();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
