// libFuzzer target: arbitrary bytes as a value file of a format with every kind. The reader
// takes files, so the input goes through a file of this process's own.
#include "fuzz/fuzz_common.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();
    static const std::unique_ptr<ConfFormat> format = allKindsFormat();
    static QTemporaryDir dir;
    FUZZ_CHECK(format && dir.isValid());
    const QString in = dir.filePath(QStringLiteral("in.xml"));
    const QString out = dir.filePath(QStringLiteral("out.xml"));
    QFile file(in);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    file.close();
    QFile::remove(in + QStringLiteral(".bak"));

    if (!format->loadValues(in))
        return 0;
    // Whatever a value file held, saving the values and loading them again changes nothing.
    const QByteArray image = format->pack();
    FUZZ_CHECK(format->saveValues(out));
    FUZZ_CHECK(format->loadValues(out));
    FUZZ_CHECK(format->pack() == image);
    return 0;
}
