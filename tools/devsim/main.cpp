// vant-devsim: a simulated VANT device behind a USB-serial adapter, at the far
// end of a pseudo-terminal. Prints the port to open, then serves commands
// until SIGTERM or SIGINT.
#include "device/sim/serialengine.h"
#include "device/sim/simdevice.h"
#include "device/sim/simport.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 64 };

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = write(stopPipe[1], &byte, 1);
    (void)ignored;
}

bool installStopSignals()
{
    if (pipe2(stopPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        if (sigaction(sig, &action, nullptr) != 0)
            return false;
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

int usageError(const QString &text)
{
    fprintf(stderr, "vant-devsim: %s\nTry 'vant-devsim --help'.\n", qPrintable(text));
    return ExitUsage;
}

bool parseCapacity(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0)
        return false;
    *value = v;
    return true;
}

const char helpText[] =
    "usage: vant-devsim [OPTIONS]\n"
    "\n"
    "Simulates a VANT device behind a USB-serial adapter. Creates a pseudo-terminal,\n"
    "prints the port path the configurator should open (one line), then answers\n"
    "identify ('I'), download ('R'), upload ('W') and firmware ('P') commands until\n"
    "SIGTERM or SIGINT.\n"
    "\n"
    "  --link PATH            make PATH a symbolic link to the port and print it\n"
    "  --hardware-id TEXT     hardware identifier (default VANT-HW-1)\n"
    "  --software-id TEXT     software identifier (default VANT-DEMO-1)\n"
    "  --image FILE           the stored configuration image; missing = empty;\n"
    "                         replaced atomically by an upload\n"
    "  --firmware FILE        where a received firmware payload is written\n"
    "  --image-capacity N     most image bytes the device holds (default 16384)\n"
    "  --firmware-capacity N  most firmware bytes it accepts (default 262144)\n"
    "  --no-pace              do not pace bytes at 115200 baud 8N1\n"
    "  --register             list the port in the port registry\n"
    "  --fault MODE           misbehave (repeatable); MODE is one of\n"
    "                         silence garbage-before-id stx-no-etx empty-etx long-id\n"
    "                         nak-block:K can-block:K repeat-block:K wrong-number:K\n"
    "                         bad-checksum:K truncate-block:K unplug-after:K\n"
    "                         eot-first extra-block no-start-nak delay-id:MS\n"
    "                         delay-first-block:MS delay-block:K:MS delay-ack:K:MS\n"
    "                         delay-start-nak:MS\n"
    "  --log FILE             log every byte exchanged, in hex with its direction\n"
    "  --help                 show this text\n";

// The command line's options; the help text above describes them.
struct Options {
    QCommandLineOption link{"link", "", "PATH"};
    QCommandLineOption hardware{"hardware-id", "", "TEXT"};
    QCommandLineOption software{"software-id", "", "TEXT"};
    QCommandLineOption image{"image", "", "FILE"};
    QCommandLineOption firmware{"firmware", "", "FILE"};
    QCommandLineOption imageCapacity{"image-capacity", "", "N"};
    QCommandLineOption firmwareCapacity{"firmware-capacity", "", "N"};
    QCommandLineOption noPace{"no-pace", ""};
    QCommandLineOption registerPort{"register", ""};
    QCommandLineOption fault{"fault", "", "MODE"};
    QCommandLineOption log{"log", "", "FILE"};
    QCommandLineOption help{"help", ""};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOptions({link, hardware, software, image, firmware, imageCapacity, firmwareCapacity, noPace,
                           registerPort, fault, log, help});
    }
};

// The device the options describe; false after a usage message in *status.
bool configureDevice(const QCommandLineParser &parser, const Options &options, SimDevice *device, int *status)
{
    if (parser.isSet(options.hardware))
        device->hardwareId = parser.value(options.hardware).toLocal8Bit();
    if (parser.isSet(options.software))
        device->softwareId = parser.value(options.software).toLocal8Bit();
    device->imagePath = parser.value(options.image);
    device->firmwarePath = parser.value(options.firmware);
    if (parser.isSet(options.imageCapacity)
        && !parseCapacity(parser.value(options.imageCapacity), &device->imageCapacity)) {
        *status = usageError(QStringLiteral("--image-capacity needs a number of 0 or more"));
        return false;
    }
    if (parser.isSet(options.firmwareCapacity)
        && !parseCapacity(parser.value(options.firmwareCapacity), &device->firmwareCapacity)) {
        *status = usageError(QStringLiteral("--firmware-capacity needs a number of 0 or more"));
        return false;
    }
    for (const QString &mode : parser.values(options.fault)) {
        QString error;
        if (!device->faults.add(mode, &error)) {
            *status = usageError(error);
            return false;
        }
    }
    return true;
}

// Reports a failure that ends the simulator with ExitFailed.
int failed(const QString &text)
{
    fprintf(stderr, "vant-devsim: %s\n", qPrintable(text));
    return ExitFailed;
}

// Opens the pseudo-terminal, makes the link and the registry entry the options ask for, and
// prints the path the program should open; ExitOk, or ExitFailed after a message.
int publishPort(const QCommandLineParser &parser, const Options &options, SimPort &port)
{
    QString error;
    if (!port.open(&error))
        return failed(error);
    QString portPath = port.slavePath();
    if (parser.isSet(options.link)) {
        if (!port.makeLink(parser.value(options.link), &error))
            return failed(error);
        portPath = parser.value(options.link);
    }
    // Other processes read the registry from their own working folders.
    if (parser.isSet(options.registerPort) && !port.registerPort(QFileInfo(portPath).absoluteFilePath(), &error))
        return failed(error);
    printf("%s\n", qPrintable(portPath));
    fflush(stdout);
    return ExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    const Options options;
    options.addTo(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(options.help)) {
        fputs(helpText, stdout);
        return ExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    SimDevice device;
    int status = ExitOk;
    if (!configureDevice(parser, options, &device, &status))
        return status;

    // A stored image that cannot be served is a set-up mistake: say so now
    // rather than at the first download.
    {
        QByteArray image;
        QString error;
        if (!device.loadImage(&image, &error))
            return failed(error);
    }

    FILE *log = nullptr;
    if (parser.isSet(options.log)) {
        log = fopen(QFile::encodeName(parser.value(options.log)).constData(), "w");
        if (!log)
            return failed(QStringLiteral("cannot write the log %1").arg(parser.value(options.log)));
    }

    if (!installStopSignals())
        return failed(QStringLiteral("cannot install signal handlers"));
    // Pacing sleeps are a fraction of a millisecond; the default timer slack
    // of 50 us would add up over a transfer.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    SimPort port;
    const int published = publishPort(parser, options, port);
    if (published != ExitOk)
        return published;

    SerialEngine engine(device, port.masterFd(), stopPipe[0]);
    engine.setPacing(!parser.isSet(options.noPace));
    engine.setLog(log);
    const SerialEngine::Exit exit = engine.run();
    port.close();
    if (log)
        fclose(log);
    if (exit == SerialEngine::Exit::LineFailed)
        return failed(QStringLiteral("the pseudo-terminal failed"));
    return ExitOk;
}
