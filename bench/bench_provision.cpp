// Provisioning several devices at once: three device simulators paced at 115200 baud 8N1, each
// identified, read for its backup and written, against one simulator alone. The devices share
// nothing but the process, so three should take hardly longer than one. Target: at most 1.3
// times as long.
#include "device/device.h"
#include "device/provisioner.h"
#include "tests/support/devicefiles.h"
#include "tests/support/simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
constexpr int Runs = 3;
constexpr int Devices = 3;
// About 0.4 s each way on the line: long enough that the transfers, not the start, dominate.
constexpr int ImageDataSize = 4000;
constexpr double Target = 1.3;

// Seconds for provisioning the first `count` ports at once; negative when a device failed.
double provision(const QStringList &ports, int count, const QByteArray &image)
{
    QList<ProvisionTarget> targets;
    for (int i = 0; i < count; ++i)
        targets.append({ports[i], image});
    Provisioner provisioner;
    QElapsedTimer timer;
    timer.start();
    provisioner.start(targets, QStringLiteral("VANT-DEMO-1"));
    provisioner.waitForFinished();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (provisioner.firstFailure() != Ok) {
        std::fprintf(stderr, "bench_provision: a device failed with %d\n", provisioner.firstFailure());
        return -1;
    }
    return seconds;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // The backups go to a folder of the run's own.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));

    const QByteArray image = testfiles::makeImage(ImageDataSize, 7);
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList ports;
    for (int i = 0; i < Devices; ++i) {
        const QString imagePath = dir.filePath(QStringLiteral("image-%1.bin").arg(i));
        QFile file(imagePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
            std::fprintf(stderr, "bench_provision: cannot write %s\n", qPrintable(imagePath));
            return 1;
        }
        file.close();
        sims.push_back(std::make_unique<SimProcess>());
        ports.append(sims.back()->start({QStringLiteral("--image"), imagePath}));
        if (ports.last().isEmpty()) {
            std::fprintf(stderr, "bench_provision: the simulator did not start\n");
            return 1;
        }
    }

    std::vector<double> one, all;
    for (int run = 1; run <= Runs; ++run) {
        one.push_back(provision(ports, 1, image));
        all.push_back(provision(ports, Devices, image));
        if (one.back() < 0 || all.back() < 0)
            return 1;
        std::printf("  run %d: one device %.3f s, %d devices %.3f s\n", run, one.back(), Devices, all.back());
    }
    const double ratio = median(all) / median(one);
    std::printf("provision at 115200 8N1, %d-byte image: one device %.3f s, %d devices %.3f s, ratio %.3f, "
                "target <= %.2f: %s\n",
                int(image.size()), median(one), Devices, median(all), ratio, Target, ratio <= Target ? "met" : "MISSED");
    return 0;
}
