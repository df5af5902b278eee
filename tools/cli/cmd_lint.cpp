// lint: every reason the configurator would refuse a description, and the mistakes it loads
// without a word, as lines an editor or a CI job can jump to.
#include "tools/cli/cli.h"
#include "tree/lint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QString severityName(DiagSeverity severity)
{
    return severity == DiagSeverity::Warning ? QStringLiteral("warning") : QStringLiteral("error");
}

// "PATH:LINE:COLUMN: warning: TEXT [code]"; a fault keeps the loader's own line as its text.
QString findingLine(const LintFinding &f)
{
    QString line = f.location.toString() + QStringLiteral(": ") + severityName(f.severity) + QStringLiteral(": ")
                   + f.message;
    if (f.severity == DiagSeverity::Warning)
        line += QStringLiteral(" [") + f.code + QLatin1Char(']');
    return line;
}

QJsonObject findingObject(const LintFinding &f)
{
    return QJsonObject{{QStringLiteral("file"), f.location.file},
                       {QStringLiteral("line"), f.location.line},
                       {QStringLiteral("column"), f.location.column},
                       {QStringLiteral("severity"), severityName(f.severity)},
                       {QStringLiteral("code"), f.code},
                       {QStringLiteral("message"), f.message}};
}

int runLint(const cli::Arguments &args)
{
    const bool json = args.format == QLatin1String("json");
    if (!json && args.format != QLatin1String("text"))
        return cli::usage("lint", QStringLiteral("unknown format '%1'").arg(args.format));
    if (args.positional.isEmpty())
        return cli::usage("lint", QStringLiteral("no description given"));

    QTextStream out(stdout);
    QJsonArray all;
    bool failed = false;
    for (const QString &path : args.positional) {
        for (const LintFinding &f : lintDescriptionFile(path)) {
            failed = failed || f.severity == DiagSeverity::Error || args.werror;
            if (json)
                all.append(findingObject(f));
            else
                out << findingLine(f) << '\n';
        }
    }
    if (json)
        out << QJsonDocument(all).toJson(QJsonDocument::Indented);
    out.flush();
    return failed ? cli::ExitFailed : cli::ExitOk;
}

const cli::Registrar lintCommand(
    {"lint", "lint [--werror] [--format FORMAT] DESCRIPTION...",
     "check descriptions as the configurator reads them; one line per finding", runLint,
     cli::OptWerror | cli::OptFormat,
     "Each finding is a line PATH:LINE:COLUMN: error|warning: TEXT, at the end of the start tag\n"
     "of the element at fault. Errors are the loader's own lines: anything that makes the\n"
     "configurator refuse the file, and a condition that does not compile. Their codes (in JSON)\n"
     "are xml-error, description-error, format-error, tree-error, bad-condition, too-many-errors.\n"
     "Warnings end in their code:\n"
     "  [unknown-variable]    a condition names a variable the format does not have\n"
     "  [constant-condition]  a condition names no variable, so it never changes\n"
     "  [unused-variable]     no row shows the variable\n"
     "  [struct-row]          a row names a structure instead of one of its members\n"
     "  [min-above-max]       a variable's min is greater than its max\n"
     "  [float-without-min]   a float without min: its editor cannot set 0 or a negative value\n"
     "  [empty-items]         every item of a select (or bool) is empty\n"
     "  [unused-macro]        a macro is defined and never used\n"
     "Exit status: 1 when there is an error (with --werror also a warning), else 0.\n"});

} // namespace
