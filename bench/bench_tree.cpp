// Conditions and tree loading on the demo description: compiling its Tree (27 conditions,
// four macro-made groups), and re-evaluating every condition, as the property tree does
// after a file is opened. Evaluation is meant to be a flat loop with one lookup by name per
// variable reference; the figures show what a full refresh costs.
#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/xmldoc.h"
#include "tree/confrow.h"
#include "tree/treeloader.h"

#include <QElapsedTimer>
#include <QList>

#include <cstdio>
#include <memory>

namespace {
constexpr int LoadRuns = 200;
constexpr int EvalRuns = 20000;

void collect(const ConfRow *row, QList<const LogicExpr *> &out)
{
    if (row->enabledCondition())
        out << row->enabledCondition();
    if (row->visibleCondition())
        out << row->visibleCondition();
    for (int i = 0; i < row->childCount(); ++i)
        collect(row->child(i), out);
}
} // namespace

int main()
{
    bool ok = false;
    const QDomDocument doc = loadXmlDocument(QStringLiteral(VANT_SOURCE_DIR "/confxml/VANT-DEMO-1.xml"), &ok);
    if (!ok)
        return 1;
    const QDomElement formatElement = doc.documentElement().firstChildElement(QStringLiteral("Format"));
    const QDomElement treeElement = formatElement.nextSiblingElement(QStringLiteral("Tree"));
    std::unique_ptr<ConfFormat> format(ConfFormat::create(QStringLiteral("VANT-DEMO-1"), formatElement));
    if (!format)
        return 1;

    TreeLoader loader;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < LoadRuns; ++i)
        loader.loadGroup(treeElement, format.get());
    const double loadUs = double(timer.nsecsElapsed()) / LoadRuns / 1000.0;

    const std::unique_ptr<ConfRow> top = loader.loadGroup(treeElement, format.get());
    if (!top)
        return 1;
    QList<const LogicExpr *> conditions;
    collect(top.get(), conditions);

    int trueCount = 0;
    timer.restart();
    for (int i = 0; i < EvalRuns; ++i) {
        for (const LogicExpr *expr : std::as_const(conditions))
            trueCount += expr->evaluate(format.get()) ? 1 : 0;
    }
    const double evalNs = double(timer.nsecsElapsed()) / EvalRuns / conditions.size();

    std::printf("load demo tree: %.1f us per load (%d runs)\n", loadUs, LoadRuns);
    std::printf("evaluate: %.1f ns per condition, %.2f us for all %lld conditions (%d true)\n", evalNs,
                evalNs * double(conditions.size()) / 1000.0, (long long)conditions.size(), trueCount / EvalRuns);
    return 0;
}
