#include "tools/cli/cli.h"

#include "format/appidentity.h"
#include "format/diag.h"

#include <QCoreApplication>
#include <QTextStream>
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

static void printHelp(QTextStream &out)
{
    out << "usage: vant-conf-cli COMMAND [ARGS...]\n\n"
           "Configurator for VANT field devices, without a window.\n\nCommands:\n";
    for (const cli::Command &c : cli::registry())
        out << "  " << c.synopsis << "\n      " << c.summary << "\n";
    out << "\nExit status: 0 success, 1 the operation failed, 64 usage error;\n"
           "device commands exit with the device result code (7: no description or bad image).\n";
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    QCoreApplication::setApplicationVersion(QStringLiteral(VANT_VERSION));
    // Standard output carries only the answer, so that it can be piped; every diagnostic line
    // goes to standard error, before the command's own "vant-conf-cli: ..." line.
    setDiagHandler(printDiagnosticsOnStandardError);

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
            if (args.contains(QLatin1String("--help"))) {
                QTextStream(stdout) << "usage: vant-conf-cli " << c.synopsis << "\n" << c.summary << Qt::endl;
                return cli::ExitOk;
            }
            return c.run(args);
        }
    }
    QTextStream(stderr) << "vant-conf-cli: unknown command '" << name << "'" << Qt::endl;
    QTextStream err(stderr);
    printHelp(err);
    return cli::ExitUsage;
}
