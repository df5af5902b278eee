// Commands on the presentation part of a description: eval (one condition) and tree.
#include "expr/logicexpr.h"
#include "tools/cli/cli.h"
#include "tools/cli/clicommon.h"
#include "tools/cli/clitree.h"
#include "tree/confrow.h"

#include <QTextStream>

namespace cli {

TreeCounts countRows(const ConfRow *top)
{
    TreeCounts counts;
    counts.rows = 1;
    counts.conditions = (top->enabledCondition() ? 1 : 0) + (top->visibleCondition() ? 1 : 0);
    for (int i = 0; i < top->childCount(); ++i) {
        const TreeCounts below = countRows(top->child(i));
        counts.rows += below.rows;
        counts.conditions += below.conditions;
    }
    return counts;
}

} // namespace cli

namespace {

// After the description every argument is positional; a first "--" among them is dropped
// too, so that a condition may start with "-" wherever the "--" was put.
QStringList positionalArgs(const QStringList &args)
{
    QStringList positional = args;
    const qsizetype dashes = positional.indexOf(QStringLiteral("--"));
    if (dashes >= 0)
        positional.removeAt(dashes);
    return positional;
}

int runEval(const cli::Arguments &args)
{
    const QStringList positional = positionalArgs(args.positional);
    if (positional.size() < 2 || positional.size() > 3)
        return cli::usage("eval");
    QString error;
    cli::Description description;
    if (!cli::loadDescriptionFile(positional.at(0), &description, &error))
        return cli::fail(error);
    if (positional.size() == 3 && !cli::loadValuesFile(description.format.get(), positional.at(1), &error))
        return cli::fail(error);

    const QString condition = positional.last();
    // An empty condition is no condition at all, which leaves a row enabled and shown.
    bool result = true;
    if (!condition.isEmpty()) {
        std::unique_ptr<LogicExpr> expr(LogicExpr::create(condition));
        if (!expr)
            return cli::fail(QStringLiteral("the condition does not compile"));
        result = expr->evaluate(description.format.get());
    }
    QTextStream(stdout) << (result ? "true" : "false") << Qt::endl;
    return cli::ExitOk;
}

// Each row with the state of its own conditions, as the window greys and hides it; a row
// below a greyed or hidden group is listed with its own state only.
void printRows(QTextStream &out, const ConfFormat *format, const ConfRow *row, int level)
{
    out << QString(level * 2, QLatin1Char(' ')) << row->label();
    if (!row->isGroup())
        out << '\t' << format->text(row->varId());
    if (!row->isEnabled(format))
        out << "\t(disabled)";
    if (!row->isVisible(format))
        out << "\t(hidden)";
    out << '\n';
    for (int i = 0; i < row->childCount(); ++i)
        printRows(out, format, row->child(i), level + 1);
}

int runTree(const cli::Arguments &parsed)
{
    QString error;
    if (parsed.positional.isEmpty() || parsed.positional.size() > 2)
        return cli::usage("tree");
    cli::Description description;
    if (!cli::loadDescriptionFile(parsed.positional.at(0), &description, &error))
        return cli::fail(error);
    if (parsed.positional.size() == 2
        && !cli::loadValuesFile(description.format.get(), parsed.positional.at(1), &error))
        return cli::fail(error);

    QTextStream out(stdout);
    printRows(out, description.format.get(), description.top.get(), 0);
    return cli::ExitOk;
}

const cli::Registrar evalCommand({"eval", "eval DESCRIPTION [VALUES.xml | IMAGE.bin] CONDITION",
                                  "evaluate a condition over the values; prints true or false", runEval,
                                  cli::OptionsBeforePositionalOnly});
const cli::Registrar treeCommand({"tree", "tree DESCRIPTION [VALUES.xml | IMAGE.bin]",
                                  "print the presentation tree with values and the state of each row's conditions",
                                  runTree});

} // namespace
