// Device commands: identify, download, upload, firmware. Each runs its operations on one Device worker and
// waits for it in an event loop the way the window does: showing its progress as it signals
// it, passing Ctrl+C on as a cancel request, and ending with the worker's result code as exit
// status.
#include "tools/cli/cli.h"
#include "tools/cli/clicommon.h"
#include "tools/cli/cliinterrupt.h"

#include "device/backups.h"
#include "device/device.h"
#include "tools/cli/clihidsim.h"
#include "tools/cli/clijson.h"
#include "format/confformat.h"
#include "format/valuediff.h"
#include "format/valueset.h"
#include "format/xmldoc.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <functional>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// A transfer that has run this long without progress shows its 0% line, so the user sees
// that it has started; one that ends sooner shows nothing.
constexpr int FirstProgressLineMs = 50;

// The result of a worker whose thread never ran (the system would not start another thread):
// no result code of the link, so it is told as the window tells it, "Unknown error.", and
// ends the command with status 1 rather than a success.
constexpr int WorkerNeverRan = -1;
constexpr int ExitWorkerNeverRan = 1;

// The exit status of an operation cancelled because --timeout passed: that of a failed
// exchange with the device.
constexpr int ExitTimedOut = ProtocolError;

// Waits for the worker, showing its progress on standard error when it changes; Ctrl+C asks
// it to stop, and so does the end of `timeoutMs` when it is not 0; the worker decides when it
// has stopped. *timedOut tells whether the time limit asked.
int waitFor(Device &device, bool showProgress, int timeoutMs, bool *timedOut)
{
    const InterruptToCancel interrupt(&device, [&device] { device.requestCancel(); });
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    *timedOut = false;
    QObject::connect(&limit, &QTimer::timeout, &device, [&] {
        *timedOut = true;
        device.requestCancel();
    });
    if (timeoutMs > 0)
        limit.start(timeoutMs);
    QTextStream err(stderr);
    int shown = -1;
    // An upload's last, partial block takes the formula past 100.
    const auto show = [&](int value) {
        value = qBound(0, value, 100);
        if (value != shown) {
            err << "\rTransfer: " << value << '%' << Qt::flush;
            shown = value;
        }
    };
    QTimer firstLine;
    if (showProgress) {
        QObject::connect(&device, &Device::progressChanged, &firstLine, show);
        firstLine.setSingleShot(true);
        QObject::connect(&firstLine, &QTimer::timeout, [&] {
            if (shown < 0 && !device.hasResult())
                show(device.progress());
        });
        firstLine.start(FirstProgressLineMs);
    }
    device.waitForResult();
    if (shown >= 0) {
        show(device.progress());
        err << Qt::endl;
    }
    return device.hasResult() ? device.result() : WorkerNeverRan;
}

int deviceFailure(int code)
{
    cli::fail(deviceResultMessage(code));
    return code == WorkerNeverRan ? ExitWorkerNeverRan : code;
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

// A worker and the HID backend it runs over, which has to outlive it. A worker that has
// finished one operation can run the next, so a command that reads the device before it
// writes uses one.
struct LinkWorker {
    std::unique_ptr<HidBackend> hid;
    std::unique_ptr<Device> device;
    // Since the first operation: --timeout limits the whole command, not each operation.
    QElapsedTimer running;
};

// One operation over the command's link, on the given worker or a fresh one, started by
// `start`, waited for with Ctrl+C passed on: Ok, or the exit status after the failure's line.
int runWorker(const cli::Arguments &options, bool showProgress, const std::function<void(Device &)> &start,
              LinkWorker *worker)
{
    if (!worker->device) {
        worker->hid = cliHidBackend();
        worker->device = std::make_unique<Device>(options.link, worker->hid.get());
        worker->running.start();
    }
    // A limit already used up still lets the operation start, so that it ends as a timeout.
    const int timeoutMs =
        options.timeoutMs > 0 ? int(qMax<qint64>(1, options.timeoutMs - worker->running.elapsed())) : 0;
    start(*worker->device);
    bool timedOut = false;
    const int code = waitFor(*worker->device, showProgress, timeoutMs, &timedOut);
    if (timedOut && code == Canceled) {
        cli::fail(QStringLiteral("timed out after %1 s").arg(options.timeoutMs / 1000.0));
        return ExitTimedOut;
    }
    return code == Ok ? Ok : deviceFailure(code);
}

int readDevice(const cli::Arguments &options, LinkWorker *worker)
{
    return runWorker(options, true, [](Device &d) { d.startDownload(); }, worker);
}

// Keeps the image the worker has just read in the backup folder before anything replaces it
// on the device, and names the file on standard error: Ok, or the exit status after the
// failure's line, and then nothing may be written.
int storeBackup(const Device &device)
{
    // A device that holds no configuration yet (a new one) has nothing to lose; its first
    // upload must not be refused for want of a backup.
    if (device.image().isEmpty()) {
        QTextStream(stderr) << "vant-conf-cli: the device holds no configuration, no backup kept" << Qt::endl;
        return Ok;
    }
    QString error;
    const QString path =
        backups::store(device.hardwareId(), device.softwareId(), backups::imageProper(device.image()), &error);
    if (path.isEmpty())
        return cli::fail(QStringLiteral("no backup kept, so nothing written: %1").arg(error));
    QTextStream(stderr) << "vant-conf-cli: backup: " << path << Qt::endl;
    return Ok;
}

int runIdentify(const cli::Arguments &options)
{
    if (!options.positional.isEmpty())
        return cli::usage("identify");
    LinkWorker worker;
    const int code = runWorker(options, false, [](Device &d) { d.startIdentify(); }, &worker);
    if (code != Ok)
        return code;
    if (options.json) {
        cli::printJson({{QStringLiteral("hardwareId"), worker.device->hardwareId()},
                        {QStringLiteral("softwareId"), worker.device->softwareId()}});
        return Ok;
    }
    QTextStream(stdout) << "Hardware ID: " << worker.device->hardwareId() << "\nSoftware ID: "
                        << worker.device->softwareId() << Qt::endl;
    return Ok;
}

// Unpacks the image the device sent into the format: Ok, or the exit status after the
// failure's line.
int unpackDeviceImage(ConfFormat *format, const Device &device)
{
    const QByteArray &image = device.image();
    if (!format->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())))
        return descriptionFailure(QCoreApplication::translate("MainWindow", "Binary data format error."));
    return Ok;
}

int transferOk()
{
    QTextStream(stdout) << QCoreApplication::translate("MainWindow", "Transfer ok.") << Qt::endl;
    return Ok;
}

int runDownload(const cli::Arguments &options)
{
    QString error;
    if (options.output.isEmpty() || !options.positional.isEmpty())
        return cli::usage("download", QStringLiteral("download needs -o OUT.xml or -o OUT.bin"));
    LinkWorker worker;
    int code = readDevice(options, &worker);
    if (code != Ok)
        return code;
    const Device &device = *worker.device;

    const std::unique_ptr<ConfFormat> format = loadDescription(device.softwareId(), &error);
    if (!format)
        return descriptionFailure(error);
    if ((code = unpackDeviceImage(format.get(), device)) != Ok)
        return code;
    // The device sends whole blocks; the image proper is what its header says, so pack it anew.
    const bool written = cli::isImagePath(options.output)
                             ? cli::writeFileSafely(options.output, format->pack(), &error)
                             : format->saveValues(options.output);
    if (!written) {
        cli::fail(error.isEmpty() ? QStringLiteral("cannot write %1").arg(options.output) : error);
        return FileError;
    }
    return transferOk();
}

// What an upload writes, and the description it is an image of; the format holds the values
// of the file.
struct Upload {
    std::unique_ptr<ConfFormat> format;
    QByteArray image;
};

int fitsDevice(const QByteArray &image)
{
    if (image.size() <= ImageCapacity)
        return Ok;
    cli::fail(QStringLiteral("the image takes %1 bytes, a device holds %2").arg(image.size()).arg(ImageCapacity));
    return Incompatible;
}

// A value file names its description by its id; its values are packed with it.
int packValueFile(const QString &path, Upload *upload)
{
    int status = Ok;
    upload->format = cli::loadValueFileForDevice(path, &status);
    if (!upload->format)
        return status;
    upload->image = upload->format->pack();
    return fitsDevice(upload->image);
}

// An image names no description; it has to be one of the device's, and goes to the device as
// the file holds it: that is how a backup is put back.
int checkImageFile(const QString &path, const QString &softwareId, Upload *upload)
{
    QString error;
    upload->format = loadDescription(softwareId, &error);
    if (!upload->format)
        return descriptionFailure(error);
    if (!cli::loadImageFile(upload->format.get(), path, &error, &upload->image))
        return descriptionFailure(error);
    return fitsDevice(upload->image);
}

// A dry run: the differences between what the device holds and what the upload would write.
int showChanges(const Device &device, Upload *upload)
{
    ConfFormat *format = upload->format.get();
    // The upload itself would stop at this; values of another format compare to nothing.
    if (device.softwareId() != format->id())
        return deviceFailure(Incompatible);
    const ValueSet fromFile = valuesOf(*format);
    const int code = unpackDeviceImage(format, device);
    if (code != Ok)
        return code;
    cli::printDifferences(valueDifferences(*format, valuesOf(*format), fromFile));
    return Ok;
}

int runUpload(const cli::Arguments &options)
{
    if (options.positional.size() != 1)
        return cli::usage("upload", QStringLiteral("upload needs one value file or image"));
    const QString path = options.positional.first();
    const bool isImage = cli::isImagePath(path);
    Upload upload;
    int code = isImage ? Ok : packValueFile(path, &upload);
    if (code != Ok)
        return code;

    // The device is read first for a backup or a dry run; an image needs at least the
    // device's software id to find its description.
    LinkWorker worker;
    if (options.dryRun || !options.noBackup)
        code = readDevice(options, &worker);
    else if (isImage)
        code = runWorker(options, false, [](Device &d) { d.startIdentify(); }, &worker);
    if (code != Ok)
        return code;
    if (isImage && (code = checkImageFile(path, worker.device->softwareId(), &upload)) != Ok)
        return code;
    if (options.dryRun)
        return showChanges(*worker.device, &upload);
    if (!options.noBackup && (code = storeBackup(*worker.device)) != Ok)
        return code;

    code = runWorker(
        options, true,
        [&](Device &d) {
            d.setImage(upload.image);
            d.startUpload(upload.format->id());
        },
        &worker);
    return code == Ok ? transferOk() : code;
}

int runFirmware(const cli::Arguments &options)
{
    if (options.positional.size() != 1)
        return cli::usage("firmware", QStringLiteral("firmware needs one .fw file"));
    LinkWorker worker;
    int code = Ok;
    if (!options.noBackup && ((code = readDevice(options, &worker)) != Ok || (code = storeBackup(*worker.device)) != Ok))
        return code;
    const QString fileName = options.positional.first();
    code = runWorker(options, true, [&](Device &d) { d.startFirmwareUpdate(fileName); }, &worker);
    return code == Ok ? transferOk() : code;
}

const cli::Registrar identifyCommand({"identify", "identify [--link LINK] [--timeout SECONDS] [--json]",
                                      "read the device's hardware and software identifiers",
                                      runIdentify, cli::OptLink | cli::OptTimeout | cli::OptJson});
const cli::Registrar downloadCommand({"download", "download [--link LINK] [--timeout SECONDS] -o OUT.xml|OUT.bin",
                                      "download the configuration; its description is confxml/<software id>.xml, "
                                      "fetched from the description server when missing",
                                      runDownload, cli::OptLink | cli::OptOutput | cli::OptTimeout});
const cli::Registrar uploadCommand({"upload",
                                    "upload [--link LINK] [--timeout SECONDS] [--dry-run] [--no-backup] "
                                    "VALUES.xml|IMAGE.bin",
                                    "upload a value file, or an image such as a backup, to the device; what it held "
                                    "is kept as a backup first",
                                    runUpload, cli::OptLink | cli::OptTimeout | cli::OptDryRun | cli::OptNoBackup});
const cli::Registrar firmwareCommand({"firmware", "firmware [--link LINK] [--timeout SECONDS] [--no-backup] FILE.fw",
                                      "update the device's firmware; its configuration is kept as a backup first",
                                      runFirmware, cli::OptLink | cli::OptTimeout | cli::OptNoBackup});

} // namespace
