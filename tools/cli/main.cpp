#include "tools/cli/cli.h"

#include "device/backups.h"
#include "format/appidentity.h"
#include "format/datafolders.h"
#include "format/diag.h"
#include "format/formatid.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace cli {

static std::vector<Command> &registry()
{
    static std::vector<Command> commands;
    return commands;
}

Registrar::Registrar(const Command &command)
{
    registry().push_back(command);
}

int fail(const QString &text)
{
    QTextStream(stderr) << "vant-conf-cli: " << text << Qt::endl;
    return ExitFailed;
}

int usage(const char *commandName, const QString &text)
{
    QTextStream err(stderr);
    if (!text.isEmpty())
        err << "vant-conf-cli: " << text << Qt::endl;
    for (const Command &c : registry()) {
        if (qstrcmp(c.name, commandName) == 0)
            err << "usage: vant-conf-cli " << c.synopsis << Qt::endl;
    }
    return ExitUsage;
}

} // namespace cli

namespace {

struct CommandOption {
    cli::Option flag;
    QCommandLineOption option;
};

QList<CommandOption> optionsOf(const cli::Command &command)
{
    const QList<CommandOption> all{
        {cli::OptOutput, QCommandLineOption({"o", "output"}, QStringLiteral("write the result to FILE"),
                                            QStringLiteral("FILE"))},
        {cli::OptLink, QCommandLineOption(QStringLiteral("link"),
                                          QStringLiteral("AUTO (default), HID, a port name or a device path"),
                                          QStringLiteral("LINK"))},
        {cli::OptServer, QCommandLineOption(QStringLiteral("server"),
                                            QStringLiteral("the description server instead of the configured one"),
                                            QStringLiteral("HOST[:PORT]"))},
        {cli::OptTimeout, QCommandLineOption(QStringLiteral("timeout"),
                                             QStringLiteral("cancel the command when it has run this long"),
                                             QStringLiteral("SECONDS"))},
        {cli::OptDryRun, QCommandLineOption(QStringLiteral("dry-run"),
                                            QStringLiteral("show what would change on the device and write nothing"))},
        {cli::OptNoBackup, QCommandLineOption(QStringLiteral("no-backup"),
                                              QStringLiteral("write without first keeping the device's configuration "
                                                             "in the backup folder"))},
        {cli::OptWerror, QCommandLineOption(QStringLiteral("werror"), QStringLiteral("count warnings as errors"))},
        {cli::OptFormat, QCommandLineOption(QStringLiteral("format"), QStringLiteral("text (default) or json"),
                                            QStringLiteral("FORMAT"))},
        {cli::OptLinks, QCommandLineOption(QStringLiteral("link"),
                                           QStringLiteral("a device to write, once per device: a port name or path, "
                                                          "HID:<path>, HID or AUTO"),
                                           QStringLiteral("LINK"))},
        {cli::OptAll, QCommandLineOption(QStringLiteral("all"),
                                         QStringLiteral("every device present: the ports listed as VANT USB, then "
                                                        "the HID devices"))},
        {cli::OptSequence, QCommandLineOption(QStringLiteral("sequence"),
                                              QStringLiteral("number the devices: the integer NAME is START on the "
                                                             "first, one more on each next"),
                                              QStringLiteral("NAME=START"))},
        {cli::OptSet, QCommandLineOption(QStringLiteral("set"),
                                         QStringLiteral("set a variable as its editor takes the text (repeatable)"),
                                         QStringLiteral("NAME=TEXT"))},
        {cli::OptJson, QCommandLineOption(QStringLiteral("json"),
                                          QStringLiteral("print one JSON document instead of the text form"))},
    };
    QList<CommandOption> taken;
    for (const CommandOption &o : all) {
        if (command.options & o.flag)
            taken.append(o);
    }
    return taken;
}

void printCommandHelp(const cli::Command &command)
{
    QTextStream out(stdout);
    out << "usage: vant-conf-cli " << command.synopsis << "\n" << command.summary << "\n";
    if (command.details)
        out << "\n" << command.details;
    const QList<CommandOption> options = optionsOf(command);
    if (!options.isEmpty())
        out << "\nOptions:\n";
    for (const CommandOption &o : options) {
        QStringList names;
        for (const QString &name : o.option.names())
            names << (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
        out << "  " << names.join(QLatin1String(", "));
        if (!o.option.valueName().isEmpty())
            out << ' ' << o.option.valueName();
        out << "\n      " << o.option.description() << "\n";
    }
    out.flush();
}

// Parses a command's arguments with its options. True when the command is to run; otherwise
// *status is the exit status of a usage error or of the help that was asked for.
bool parseArguments(const cli::Command &command, const QStringList &args, cli::Arguments *parsed, int *status)
{
    *status = cli::ExitUsage;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (command.options & cli::OptionsBeforePositionalOnly)
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringLiteral("help"));
    parser.addOption(help);
    const QList<CommandOption> options = optionsOf(command);
    for (const CommandOption &o : options)
        parser.addOption(o.option);

    // The parser wants the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("vant-conf-cli")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        cli::usage(command.name, unknown.isEmpty() ? parser.errorText()
                                                          : QStringLiteral("unknown option '%1'").arg(unknown.first()));
        return false;
    }
    if (parser.isSet(help)) {
        printCommandHelp(command);
        *status = cli::ExitOk;
        return false;
    }
    for (const CommandOption &o : options) {
        // A switch said twice says the same thing.
        if (o.option.valueName().isEmpty()) {
            if (o.flag == cli::OptDryRun)
                parsed->dryRun = parser.isSet(o.option);
            else if (o.flag == cli::OptNoBackup)
                parsed->noBackup = parser.isSet(o.option);
            else if (o.flag == cli::OptWerror)
                parsed->werror = parser.isSet(o.option);
            else if (o.flag == cli::OptAll)
                parsed->all = parser.isSet(o.option);
            else if (o.flag == cli::OptJson)
                parsed->json = parser.isSet(o.option);
            continue;
        }
        const QStringList values = parser.values(o.option);
        if (o.flag == cli::OptLinks || o.flag == cli::OptSet) {
            (o.flag == cli::OptLinks ? parsed->links : parsed->assignments) = values;
            continue;
        }
        if (values.size() > 1) {
            cli::usage(command.name, QStringLiteral("option --%1 given twice").arg(o.option.names().last()));
            return false;
        }
        if (values.isEmpty())
            continue;
        if (o.flag == cli::OptOutput) {
            parsed->output = values.first();
            parsed->hasOutput = true;
        } else if (o.flag == cli::OptLink) {
            parsed->link = values.first();
            if (parsed->link.isEmpty()) {
                cli::usage(command.name, QStringLiteral("empty link"));
                return false;
            }
        } else if (o.flag == cli::OptSequence) {
            parsed->sequence = values.first();
        } else if (o.flag == cli::OptServer) {
            parsed->server = values.first();
            parsed->hasServer = true;
        } else if (o.flag == cli::OptTimeout) {
            bool number = false;
            const double seconds = values.first().toDouble(&number);
            // Up to a day; a QTimer takes no more than about 24 days in any case.
            if (!number || !(seconds > 0) || seconds > 86400) {
                cli::usage(command.name, QStringLiteral("bad timeout '%1'").arg(values.first()));
                return false;
            }
            parsed->timeoutMs = qMax(1, qRound(seconds * 1000));
        } else if (o.flag == cli::OptFormat) {
            parsed->format = values.first();
        }
    }
    parsed->positional = parser.positionalArguments();
    return true;
}

void printHelp(QTextStream &out)
{
    out << "usage: vant-conf-cli COMMAND [ARGS...]\n\n"
           "Configurator for VANT field devices, without a window.\n\nCommands:\n";
    for (const cli::Command &c : cli::registry())
        out << "  " << c.synopsis << "\n      " << c.summary << "\n";
    out << "\n'vant-conf-cli COMMAND --help' describes one command and its options.\n"
           "\nExit status: 0 success, 1 the operation failed, 64 usage error;\n"
           "diff: 0 no difference, 1 differences, 2 an input unreadable or not of the description;\n"
           "device commands exit with the device result code (7: no description or bad image).\n"
           "\nupload and firmware first keep the device's configuration as a backup in\n"
           "  " << backups::folder() << "/HARDWARE-ID/\n"
           "unless --no-backup is given; when that fails, nothing is written.\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    QCoreApplication::setApplicationVersion(QStringLiteral(VANT_VERSION));
    // Standard output carries only the answer, so that it can be piped; every diagnostic line
    // goes to standard error, before the command's own "vant-conf-cli: ..." line.
    setDiagHandler(printDiagnosticsOnStandardError);
    // Descriptions by id come from confxml/ of the working directory, or from the user's work
    // folder where there is none, as in the window; the arguments stay relative to where it runs.
    setDescriptionFolderLookup(+[]() -> QString {
        const QString work = datafolders::chooseWorkFolder();
        return work.isEmpty() ? QStringLiteral("confxml") : work + QStringLiteral("/confxml");
    });

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        QTextStream err(stderr);
        printHelp(err);
        return cli::ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        QTextStream out(stdout);
        printHelp(out);
        return cli::ExitOk;
    }
    if (name == QLatin1String("--version")) {
        QTextStream(stdout) << "vant-conf-cli " << VANT_VERSION << Qt::endl;
        return cli::ExitOk;
    }
    for (const cli::Command &c : cli::registry()) {
        if (name == QLatin1String(c.name)) {
            cli::Arguments parsed;
            int status = cli::ExitOk;
            if (!parseArguments(c, args, &parsed, &status))
                return status;
            const int result = c.run(parsed);
            // Standard output is buffered: a full disk or a write error may show only when the
            // last bytes leave, and an answer that never arrived is no success.
            if (result == cli::ExitOk && (std::fflush(stdout) != 0 || std::ferror(stdout)))
                return cli::fail(QStringLiteral("cannot write standard output"));
            return result;
        }
    }
    QTextStream(stderr) << "vant-conf-cli: unknown command '" << name << "'" << Qt::endl;
    QTextStream err(stderr);
    printHelp(err);
    return cli::ExitUsage;
}
