#include "format/wholefile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A device or a FIFO is written into, never replaced: a temporary file renamed over
// /dev/null or over a pipe's name would leave a plain file in its place (and, run as
// root, take the device away from everyone).
bool writeInto(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size()) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace

bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeInto(path, bytes, error);
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

InputRefusal openRegularFile(const QString &path, QFile *file, qint64 *size, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return InputRefusal::CannotOpen;
    }
    struct stat info {};
    const InputRefusal refusal = ::fstat(fd, &info) != 0 ? InputRefusal::CannotOpen
                                 : S_ISDIR(info.st_mode) ? InputRefusal::Directory
                                 : !S_ISREG(info.st_mode) ? InputRefusal::NotRegular
                                                          : InputRefusal::None;
    if (refusal == InputRefusal::None && file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *size = info.st_size;
        return InputRefusal::None;
    }
    ::close(fd);
    if (refusal == InputRefusal::None) {
        *error = file->errorString();
        return InputRefusal::CannotOpen;
    }
    return refusal;
}

bool readFileStart(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    QFile file;
    qint64 size = 0;
    const InputRefusal refusal = openRegularFile(path, &file, &size, error);
    if (refusal == InputRefusal::Directory || refusal == InputRefusal::NotRegular)
        *error = QStringLiteral("not a regular file");
    if (refusal != InputRefusal::None)
        return false;
    *bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        bytes->clear();
        return false;
    }
    return true;
}
