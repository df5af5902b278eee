// vant-devsim: a simulated VANT device behind a USB-serial adapter, at the far
// end of a pseudo-terminal. Prints the port to open, then serves commands
// until SIGTERM or SIGINT.
#include "tools/devsim/serialengine.h"
#include "tools/devsim/simdevice.h"
#include "tools/devsim/simport.h"

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

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    const QCommandLineOption linkOption("link", "", "PATH");
    const QCommandLineOption hardwareOption("hardware-id", "", "TEXT");
    const QCommandLineOption softwareOption("software-id", "", "TEXT");
    const QCommandLineOption imageOption("image", "", "FILE");
    const QCommandLineOption firmwareOption("firmware", "", "FILE");
    const QCommandLineOption imageCapacityOption("image-capacity", "", "N");
    const QCommandLineOption firmwareCapacityOption("firmware-capacity", "", "N");
    const QCommandLineOption noPaceOption("no-pace", "");
    const QCommandLineOption registerOption("register", "");
    const QCommandLineOption faultOption("fault", "", "MODE");
    const QCommandLineOption logOption("log", "", "FILE");
    const QCommandLineOption helpOption("help", "");
    parser.addOptions({linkOption, hardwareOption, softwareOption, imageOption, firmwareOption,
                       imageCapacityOption, firmwareCapacityOption, noPaceOption, registerOption,
                       faultOption, logOption, helpOption});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        fputs(helpText, stdout);
        return ExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    SimDevice device;
    if (parser.isSet(hardwareOption))
        device.hardwareId = parser.value(hardwareOption).toLocal8Bit();
    if (parser.isSet(softwareOption))
        device.softwareId = parser.value(softwareOption).toLocal8Bit();
    device.imagePath = parser.value(imageOption);
    device.firmwarePath = parser.value(firmwareOption);
    if (parser.isSet(imageCapacityOption)
        && !parseCapacity(parser.value(imageCapacityOption), &device.imageCapacity))
        return usageError(QStringLiteral("--image-capacity needs a number of 0 or more"));
    if (parser.isSet(firmwareCapacityOption)
        && !parseCapacity(parser.value(firmwareCapacityOption), &device.firmwareCapacity))
        return usageError(QStringLiteral("--firmware-capacity needs a number of 0 or more"));
    for (const QString &mode : parser.values(faultOption)) {
        QString error;
        if (!device.faults.add(mode, &error))
            return usageError(error);
    }

    // A stored image that cannot be served is a set-up mistake: say so now
    // rather than at the first download.
    {
        QByteArray image;
        QString error;
        if (!device.loadImage(&image, &error)) {
            fprintf(stderr, "vant-devsim: %s\n", qPrintable(error));
            return ExitFailed;
        }
    }

    FILE *log = nullptr;
    if (parser.isSet(logOption)) {
        log = fopen(QFile::encodeName(parser.value(logOption)).constData(), "w");
        if (!log) {
            fprintf(stderr, "vant-devsim: cannot write the log %s\n", qPrintable(parser.value(logOption)));
            return ExitFailed;
        }
    }

    if (!installStopSignals()) {
        fprintf(stderr, "vant-devsim: cannot install signal handlers\n");
        return ExitFailed;
    }
    // Pacing sleeps are a fraction of a millisecond; the default timer slack
    // of 50 us would add up over a transfer.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    SimPort port;
    QString error;
    if (!port.open(&error)) {
        fprintf(stderr, "vant-devsim: %s\n", qPrintable(error));
        return ExitFailed;
    }
    QString portPath = port.slavePath();
    if (parser.isSet(linkOption)) {
        if (!port.makeLink(parser.value(linkOption), &error)) {
            fprintf(stderr, "vant-devsim: %s\n", qPrintable(error));
            return ExitFailed;
        }
        portPath = parser.value(linkOption);
    }
    // Other processes read the registry from their own working folders.
    if (parser.isSet(registerOption) && !port.registerPort(QFileInfo(portPath).absoluteFilePath(), &error)) {
        fprintf(stderr, "vant-devsim: %s\n", qPrintable(error));
        return ExitFailed;
    }
    printf("%s\n", qPrintable(portPath));
    fflush(stdout);

    SerialEngine engine(device, port.masterFd(), stopPipe[0]);
    engine.setPacing(!parser.isSet(noPaceOption));
    engine.setLog(log);
    const SerialEngine::Exit exit = engine.run();
    port.close();
    if (log)
        fclose(log);
    if (exit == SerialEngine::Exit::LineFailed) {
        fprintf(stderr, "vant-devsim: the pseudo-terminal failed\n");
        return ExitFailed;
    }
    return ExitOk;
}
