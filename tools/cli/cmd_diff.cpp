// diff: the variables whose values differ between two value files or images of one
// description, with the exit status of diff(1) so that scripts can test it.
#include "tools/cli/cli.h"
#include "tools/cli/clicommon.h"
#include "tools/cli/clijson.h"

#include "format/valuediff.h"
#include "format/valueset.h"

namespace {

int unreadable(const QString &text)
{
    cli::fail(text);
    return cli::ExitUnreadableInput;
}

int runDiff(const cli::Arguments &parsed)
{
    if (parsed.positional.size() != 3)
        return cli::usage("diff");
    QString error;
    cli::Description description;
    if (!cli::loadDescriptionFile(parsed.positional.at(0), &description, &error))
        return unreadable(error);
    ConfFormat *format = description.format.get();
    // A value file sets only the variables it names; the others keep the description's
    // initial values, whichever file was loaded before.
    const ValueSet initial = valuesOf(*format);
    ValueSet sides[2];
    for (int i = 0; i < 2; ++i) {
        applyValues(*format, initial);
        if (!cli::loadValuesFile(format, parsed.positional.at(i + 1), &error))
            return unreadable(error);
        sides[i] = valuesOf(*format);
    }
    const QList<ValueDifference> differences = valueDifferences(*format, sides[0], sides[1]);
    if (parsed.json) {
        cli::printJson({{QStringLiteral("id"), description.id},
                        {QStringLiteral("a"), parsed.positional.at(1)},
                        {QStringLiteral("b"), parsed.positional.at(2)},
                        {QStringLiteral("differences"), cli::differencesJson(differences)}});
    } else {
        cli::printDifferences(differences);
    }
    return differences.isEmpty() ? cli::ExitOk : cli::ExitFailed;
}

const cli::Registrar diffCommand({"diff", "diff [--json] DESCRIPTION A.xml|A.bin B.xml|B.bin",
                                  "the variables whose values differ: name, tab, A's value, tab, B's value; "
                                  "exit status 0 none, 1 some, 2 trouble",
                                  runDiff, cli::OptJson});

} // namespace
