// Device commands: identify, download, upload, firmware. Each runs one Device worker and
// waits for it the way the window does: polling its progress every 50 ms, passing Ctrl+C on
// as a cancel request, and ending with the worker's result code as exit status.
#include "tools/cli/cli.h"
#include "tools/cli/clicommon.h"

#include "device/device.h"
#include "format/confformat.h"
#include "format/xmldoc.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QTextStream>

#include <csignal>
#include <cstring>
#include <memory>

namespace {

constexpr int PollMs = 50;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

// Waits for the worker, showing its progress on standard error when it changes; Ctrl+C asks
// it to stop, and the worker decides when it has.
int waitFor(Device &device, bool showProgress)
{
    interrupted = 0;
    struct sigaction action {}, previous {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);

    QTextStream err(stderr);
    int shown = -1;
    for (;;) {
        const bool finished = device.wait(PollMs);
        if (interrupted)
            device.cancelRequested.store(true, std::memory_order_relaxed);
        // An upload's last, partial block takes the formula past 100.
        const int value = qBound(0, int(device.progress.load(std::memory_order_relaxed)), 100);
        if (showProgress && value != shown && (!finished || shown >= 0)) {
            err << "\rTransfer: " << value << '%' << Qt::flush;
            shown = value;
        }
        if (finished)
            break;
    }
    if (shown >= 0)
        err << Qt::endl;
    sigaction(SIGINT, &previous, nullptr);
    return device.result;
}

int deviceFailure(int code)
{
    cli::fail(deviceResultMessage(code));
    return code;
}

int descriptionFailure(const QString &text)
{
    cli::fail(text);
    return cli::ExitNoDescription;
}

// The description of `id`, read from confxml/<id>.xml in the working directory as the window
// finds it, and fetched from the description server when that file is missing or does not
// load; null after a message when there is none.
std::unique_ptr<ConfFormat> loadDescription(const QString &id, QString *error)
{
    cli::Description description;
    if (!cli::loadDescriptionById(id, &description, error))
        return nullptr;
    return std::move(description.format);
}

int runIdentify(const cli::Arguments &options)
{
    if (!options.positional.isEmpty())
        return cli::usage("identify");
    Device device(options.link);
    device.startIdentify();
    const int code = waitFor(device, false);
    if (code != Ok)
        return deviceFailure(code);
    QTextStream(stdout) << "Hardware ID: " << device.hardwareId << "\nSoftware ID: "
                        << device.softwareId << Qt::endl;
    return Ok;
}

int runDownload(const cli::Arguments &options)
{
    QString error;
    if (options.output.isEmpty() || !options.positional.isEmpty())
        return cli::usage("download", QStringLiteral("download needs -o OUT.xml or -o OUT.bin"));
    Device device(options.link);
    device.startDownload();
    const int code = waitFor(device, true);
    if (code != Ok)
        return deviceFailure(code);

    const std::unique_ptr<ConfFormat> format = loadDescription(device.softwareId, &error);
    if (!format)
        return descriptionFailure(error);
    if (!format->unpack(device.image, device.imageLength))
        return descriptionFailure(QCoreApplication::translate("MainWindow", "Binary data format error."));
    // The device sends whole blocks; the image proper is what its header says, so pack it anew.
    const bool written = cli::isImagePath(options.output)
                             ? cli::writeFileSafely(options.output, format->pack(), &error)
                             : format->saveValues(options.output);
    if (!written) {
        cli::fail(error.isEmpty() ? QStringLiteral("cannot write %1").arg(options.output) : error);
        return FileError;
    }
    QTextStream(stdout) << QCoreApplication::translate("MainWindow", "Transfer ok.") << Qt::endl;
    return Ok;
}

int runUpload(const cli::Arguments &options)
{
    QString error;
    if (options.positional.size() != 1)
        return cli::usage("upload", QStringLiteral("upload needs one value file"));
    const QString valuesPath = options.positional.first();

    bool ok = false;
    const QDomDocument values = loadXmlDocument(valuesPath, &ok);
    if (!ok) {
        cli::fail(QStringLiteral("cannot read the value file %1").arg(valuesPath));
        return FileError;
    }
    const QString id = values.documentElement().attribute(QStringLiteral("id"), QStringLiteral("noname"));
    const std::unique_ptr<ConfFormat> format = loadDescription(id, &error);
    if (!format)
        return descriptionFailure(error);
    if (!format->loadValues(valuesPath)) {
        cli::fail(QStringLiteral("the value file %1 does not load").arg(valuesPath));
        return FileError;
    }
    const QByteArray image = format->pack();
    if (image.size() > ImageCapacity) {
        cli::fail(QStringLiteral("the image takes %1 bytes, a device holds %2").arg(image.size()).arg(ImageCapacity));
        return Incompatible;
    }

    Device device(options.link);
    std::memcpy(device.image, image.constData(), size_t(image.size()));
    device.imageLength = qint32(image.size());
    device.startUpload(format->id);
    const int code = waitFor(device, true);
    if (code != Ok)
        return deviceFailure(code);
    QTextStream(stdout) << QCoreApplication::translate("MainWindow", "Transfer ok.") << Qt::endl;
    return Ok;
}

int runFirmware(const cli::Arguments &options)
{
    if (options.positional.size() != 1)
        return cli::usage("firmware", QStringLiteral("firmware needs one .fw file"));
    Device device(options.link);
    device.startFirmwareUpdate(options.positional.first());
    const int code = waitFor(device, true);
    if (code != Ok)
        return deviceFailure(code);
    QTextStream(stdout) << QCoreApplication::translate("MainWindow", "Transfer ok.") << Qt::endl;
    return Ok;
}

const cli::Registrar identifyCommand({"identify", "identify [--link LINK]",
                                      "read the device's hardware and software identifiers", runIdentify,
                                      cli::OptLink});
const cli::Registrar downloadCommand({"download", "download [--link LINK] -o OUT.xml|OUT.bin",
                                      "download the configuration; its description is confxml/<software id>.xml, "
                                      "fetched from the description server when missing",
                                      runDownload, cli::OptLink | cli::OptOutput});
const cli::Registrar uploadCommand({"upload", "upload [--link LINK] VALUES.xml",
                                    "upload the values of a value file to the device", runUpload,
                                    cli::OptLink});
const cli::Registrar firmwareCommand({"firmware", "firmware [--link LINK] FILE.fw",
                                      "update the device's firmware", runFirmware, cli::OptLink});

} // namespace
