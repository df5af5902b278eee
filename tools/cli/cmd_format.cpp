// Commands on descriptions, value files and images: check, show, pack, unpack.
#include "tools/cli/cli.h"
#include "tools/cli/clicommon.h"
#include "tools/cli/clijson.h"
#include "tools/cli/clitree.h"
#include "format/valuefile.h"

#include <QTextStream>

namespace {

int runCheck(const cli::Arguments &parsed)
{
    QString error;
    if (parsed.positional.size() != 1)
        return cli::usage("check");
    cli::Description description;
    if (!cli::loadDescriptionFile(parsed.positional.at(0), &description, &error))
        return cli::fail(error);

    const ConfFormat &format = *description.format;
    int variables = 0;
    for (const auto &entry : format.vars()) {
        if (entry.second.kind != KindStruct)
            ++variables;
    }
    QStringList report;
    report << QStringLiteral("id: %1").arg(description.id) << QStringLiteral("variables: %1").arg(variables)
           << QStringLiteral("data size: %1").arg(format.dataSize())
           << QStringLiteral("image size: %1").arg(format.imageSize());
    const cli::TreeCounts counts = cli::countRows(description.top.get());
    report << QStringLiteral("rows: %1").arg(counts.rows) << QStringLiteral("conditions: %1").arg(counts.conditions);
    QTextStream out(stdout);
    for (const QString &line : report)
        out << line << '\n';
    return cli::ExitOk;
}

int runShow(const cli::Arguments &parsed)
{
    QString error;
    if (parsed.positional.isEmpty() || parsed.positional.size() > 2)
        return cli::usage("show");
    cli::Description description;
    if (!cli::loadDescriptionFile(parsed.positional.at(0), &description, &error))
        return cli::fail(error);
    ConfFormat *format = description.format.get();
    if (parsed.positional.size() == 2 && !cli::loadValuesFile(format, parsed.positional.at(1), &error))
        return cli::fail(error);
    if (parsed.json) {
        cli::printJson({{QStringLiteral("id"), description.id}, {QStringLiteral("values"), cli::valuesJson(*format)}});
        return cli::ExitOk;
    }
    QTextStream out(stdout);
    for (const auto &entry : format->vars()) {
        if (entry.second.kind != KindStruct)
            out << entry.first << '\t' << format->varText(&entry.second) << '\n';
    }
    return cli::ExitOk;
}

int runPack(const cli::Arguments &parsed)
{
    QString error;
    if (parsed.positional.size() != 2 || !parsed.hasOutput)
        return cli::usage("pack");
    cli::Description description;
    if (!cli::loadDescriptionFile(parsed.positional.at(0), &description, &error))
        return cli::fail(error);
    ConfFormat *format = description.format.get();
    if (!format->loadValues(parsed.positional.at(1))) {
        return cli::fail(QStringLiteral("cannot load values of format '%1' from '%2'")
                             .arg(format->id(), parsed.positional.at(1)));
    }
    if (!cli::writeFileSafely(parsed.output, format->pack(), &error))
        return cli::fail(error);
    return cli::ExitOk;
}

int runUnpack(const cli::Arguments &parsed)
{
    QString error;
    if (parsed.positional.size() != 2 || !parsed.hasOutput)
        return cli::usage("unpack");
    cli::Description description;
    if (!cli::loadDescriptionFile(parsed.positional.at(0), &description, &error))
        return cli::fail(error);
    ConfFormat *format = description.format.get();
    if (!cli::loadImageFile(format, parsed.positional.at(1), &error))
        return cli::fail(error);
    if (cli::isStandardOutput(parsed.output)) {
        if (!cli::writeFileSafely(parsed.output, valueFileBytes(*format), &error))
            return cli::fail(error);
        return cli::ExitOk;
    }
    // The value file keeps its previous version as ".bak" while it is rewritten; a
    // device or a FIFO is written into as it is.
    if (!format->saveValues(parsed.output))
        return cli::fail(QStringLiteral("cannot write the value file '%1'").arg(parsed.output));
    return cli::ExitOk;
}

const cli::Registrar checkCommand({"check", "check DESCRIPTION",
                                   "read a description file and report its format: id, variables, sizes",
                                   runCheck});
const cli::Registrar showCommand({"show", "show [--json] DESCRIPTION [VALUES.xml | IMAGE.bin]",
                                  "list every variable in name order with the text of its value",
                                  runShow, cli::OptJson});
const cli::Registrar packCommand({"pack", "pack DESCRIPTION VALUES.xml -o IMAGE.bin",
                                  "pack a value file into a configuration image", runPack, cli::OptOutput});
const cli::Registrar unpackCommand({"unpack", "unpack DESCRIPTION IMAGE.bin -o VALUES.xml",
                                    "unpack a configuration image into a value file", runUnpack,
                                    cli::OptOutput});

} // namespace
