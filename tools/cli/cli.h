#pragma once
// vant-conf-cli: each command lives in its own file and registers itself here.
#include <QStringList>

namespace cli {

enum ExitCode {
    ExitOk = 0,
    ExitFailed = 1,
    ExitNoDescription = 7, // device commands: description missing or image does not unpack
    ExitUsage = 64,
};

struct Command {
    const char *name;
    const char *synopsis; // one usage line without the program name
    const char *summary;  // one line for --help
    int (*run)(const QStringList &args); // args after the command name
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
