// set: values typed on the command line, taken by the rules of the window's editors.
#include "tools/cli/cli.h"
#include "tools/cli/clicommon.h"
#include "format/valueassign.h"
#include "format/valuefile.h"

namespace {

int runSet(const cli::Arguments &parsed)
{
    QStringList assignments = parsed.positional.mid(1);
    // A values file is the one argument after the description that assigns nothing: a path
    // with "=" in it would read as an assignment, and a value ending in ".xml" is a value.
    QString valuesPath;
    if (!assignments.isEmpty() && !assignments.constFirst().contains(QLatin1Char('=')))
        valuesPath = assignments.takeFirst();
    if (parsed.positional.isEmpty() || assignments.isEmpty() || !parsed.hasOutput)
        return cli::usage("set");
    for (const QString &assignment : assignments) {
        if (!assignment.contains(QLatin1Char('=')))
            return cli::usage("set", QStringLiteral("'%1' is not NAME=TEXT").arg(assignment));
    }

    QString error;
    cli::Description description;
    if (!cli::loadDescriptionFile(parsed.positional.at(0), &description, &error))
        return cli::fail(error);
    ConfFormat *format = description.format.get();
    if (!valuesPath.isEmpty() && !cli::loadValuesFile(format, valuesPath, &error))
        return cli::fail(error);

    // Every assignment is checked before anything is written: one refusal leaves the output
    // as it was, rather than a file with some of the values.
    for (const QString &assignment : assignments) {
        const QString name = assignment.section(QLatin1Char('='), 0, 0);
        const QString text = assignment.section(QLatin1Char('='), 1);
        ConfVar *var = format->varByName(name);
        if (!var)
            return cli::fail(QStringLiteral("%1: no such variable in '%2'").arg(name, description.path));
        QString reason;
        // A value longer than a string holds is cut, as a value file's is.
        if (!assignValueText(*format, *var, text, &reason, LongText::Cut))
            return cli::fail(QStringLiteral("%1: %2").arg(name, reason));
    }

    const QByteArray bytes = cli::isImagePath(parsed.output) ? format->pack() : valueFileBytes(*format);
    if (!cli::writeFileSafely(parsed.output, bytes, &error))
        return cli::fail(error);
    return cli::ExitOk;
}

const cli::Registrar setCommand({"set", "set DESCRIPTION [VALUES.xml | IMAGE.bin] NAME=TEXT... -o OUT.xml|OUT.bin",
                                 "set variables from texts as the window's editors take them and write the values "
                                 "(an image for .bin); a file variable takes @FILE",
                                 runSet, cli::OptOutput});

} // namespace
