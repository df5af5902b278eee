#pragma once
// vant-conf-cli: each command lives in its own file and registers itself here, with the
// options it takes; the arguments are parsed for it before it runs.
#include <QString>
#include <QStringList>

namespace cli {

enum ExitCode {
    ExitOk = 0,
    ExitFailed = 1,
    ExitUnreadableInput = 2, // diff: an input cannot be read or is not of the description
    ExitNoDescription = 7, // device commands: description missing or image does not unpack
    ExitUsage = 64,
};

// The options a command takes.
enum Option {
    NoOptions = 0,
    OptOutput = 1 << 0, // -o FILE, --output FILE
    OptLink = 1 << 1,   // --link LINK
    OptServer = 1 << 2, // --server HOST[:PORT]
    OptTimeout = 1 << 3, // --timeout SECONDS
    OptDryRun = 1 << 4,  // --dry-run
    OptNoBackup = 1 << 5, // --no-backup
    OptWerror = 1 << 6,  // --werror
    OptFormat = 1 << 7,  // --format FORMAT
    OptLinks = 1 << 11,  // --link LINK, once per device
    OptAll = 1 << 12,    // --all
    OptSequence = 1 << 9, // --sequence NAME=START
    OptSet = 1 << 10,     // --set NAME=TEXT, as often as needed
    // Everything after the first positional argument is positional too, so a condition may
    // start with a minus sign.
    OptionsBeforePositionalOnly = 1 << 8,
    OptJson = 1 << 13, // --json: one JSON document on standard output instead of the text form
};

// A command's arguments, parsed. "--" ends the options.
struct Arguments {
    QStringList positional;
    QString output;
    bool hasOutput = false;
    QString link = QStringLiteral("AUTO");
    QString server;
    bool hasServer = false;
    int timeoutMs = 0; // 0: no time limit
    bool dryRun = false;
    bool noBackup = false;
    bool werror = false;
    QString format = QStringLiteral("text");
    QStringList links; // OptLinks
    bool all = false;
    QString sequence;
    QStringList assignments; // OptSet
    bool json = false;
};

struct Command {
    const char *name;
    const char *synopsis; // one usage line without the program name
    const char *summary;  // one line for --help
    int (*run)(const Arguments &args);
    int options = NoOptions;
    const char *details = nullptr; // more for the command's --help, after the summary
};

// Registers a command at static-initialisation time: `static cli::Registrar r({...});`
struct Registrar {
    explicit Registrar(const Command &command);
};

// Prints "vant-conf-cli: <text>" on standard error and returns ExitFailed;
// the one line that follows the system's diagnostic lines on a failure.
int fail(const QString &text);
// Prints a usage error for the command and returns ExitUsage.
int usage(const char *commandName, const QString &text = QString());

} // namespace cli
