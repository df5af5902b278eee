// Runs a fuzz target over saved inputs without libFuzzer: every file named on the command line,
// and every file in a folder named there. The test suite replays each corpus this way, so
// every input that once found a fault keeps being tried in the sanitizer build.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool replay(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Collected first, as absolute paths: a target may change the working directory.
    QStringList inputs;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo named(QFile::decodeName(argv[i]));
        if (!named.isDir()) {
            inputs << named.absoluteFilePath();
            continue;
        }
        QDirIterator files(named.absoluteFilePath(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext())
            inputs << files.next();
    }
    bool ok = !inputs.isEmpty();
    for (const QString &path : inputs)
        ok = replay(path) && ok;
    std::printf("%d inputs replayed\n", int(inputs.size()));
    return ok ? 0 : 1;
}
