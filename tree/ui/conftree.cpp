#include "tree/ui/conftree.h"

#include "format/confformat.h"
#include "format/diag.h"
#include "format/ui/valueeditors.h"
#include "tree/confrow.h"
#include "tree/ui/qmytreewidgetitem.h"
#include "tree/why.h"

#include <QUndoStack>

#include <algorithm>

namespace {

bool isGroupRow(const QTreeWidgetItem *item)
{
    return item->type() < QMyTreeWidgetItem::VarTypeBase;
}

int varIdOf(const QTreeWidgetItem *item)
{
    return item->type() - QMyTreeWidgetItem::VarTypeBase;
}

} // namespace

// What rendering the rows collects on the way, for the steps that need the rows in the view.
struct ConfTree::Rendering {
    int places = 0;
    std::vector<QMyTreeWidgetItem *> hidden;   // by their own visible condition
    std::vector<QMyTreeWidgetItem *> expanded; // groups that ask for it, the top row aside
};

ConfTree::ConfTree(QWidget *parent)
    : QTreeWidget(parent), undo(new QUndoStack(this))
{
    setHeaderLabels({tr("Property"), tr("Value")});
    connect(this, &QTreeWidget::itemDoubleClicked, this, &ConfTree::itemClicked);
    connect(this, &QTreeWidget::currentItemChanged, this, &ConfTree::itemActivated);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &ConfTree::contextMenu);
}

ConfTree::~ConfTree()
{
    // The rows go before their model and the format: clearing changes the current row, and
    // nothing may look at a model row or a format that is already gone.
    disconnect(this, &QTreeWidget::itemDoubleClicked, this, &ConfTree::itemClicked);
    disconnect(this, &QTreeWidget::currentItemChanged, this, &ConfTree::itemActivated);
    // The window that listens to the stack may be half gone; its steps go with it unheard.
    undo->blockSignals(true);
    undo->clear();
    dropRows();
}

void ConfTree::dropRows()
{
    rowsByVariable.clear();
    conditionRows.clear();
    rowsById.clear();
    search = SearchTexts();
    baseline.clear();
    clear();
    rows.reset();
    delete format;
    format = nullptr;
}

// The row alone, detached: a detached row cannot be hidden or expanded yet, so those rows
// are collected. A variable row is listed under its variable's id (it shows its baseline
// value, which every value is now), a row with a condition under every variable the
// condition mentions. The conditions are evaluated here: a row without one is enabled and
// shown as it is made.
QMyTreeWidgetItem *ConfTree::renderRow(const ConfRow *row, Rendering &rendering)
{
    auto *item = new QMyTreeWidgetItem(row);
    item->place = rendering.places++;
    if (!row->isGroup())
        rowsById.emplace_back(row->varId(), item);
    const LogicExpr *enabled = row->enabledCondition();
    const LogicExpr *visible = row->visibleCondition();
    if (enabled || visible) {
        conditionRows.push_back(item);
        for (const LogicExpr *condition : {enabled, visible}) {
            if (!condition)
                continue;
            for (const QString &name : condition->variables()) {
                std::vector<QMyTreeWidgetItem *> &mentioning = rowsByVariable[name];
                // Both conditions may mention it: the row is asked once.
                if (mentioning.empty() || mentioning.back() != item)
                    mentioning.push_back(item);
            }
        }
        item->conditionEnabled = row->isEnabled(format);
        item->conditionVisible = row->isVisible(format);
        if (!item->conditionVisible)
            rendering.hidden.push_back(item);
    }
    if (row->childCount() > 0 && row->startExpanded())
        rendering.expanded.push_back(item);
    return item;
}

// The rows below the row, each with the rows below it, in tree order.
QList<QTreeWidgetItem *> ConfTree::renderChildren(const ConfRow *row, Rendering &rendering)
{
    QList<QTreeWidgetItem *> children;
    children.reserve(row->childCount());
    for (int i = 0; i < row->childCount(); ++i) {
        const ConfRow *child = row->child(i);
        QMyTreeWidgetItem *item = renderRow(child, rendering);
        if (child->childCount() > 0)
            item->addChildren(renderChildren(child, rendering));
        children.append(item);
    }
    return children;
}

void ConfTree::install(std::unique_ptr<ConfFormat> newFormat, const QString &id, std::unique_ptr<ConfRow> top)
{
    // Steps hold values by name: they carry over to a new reading of the same description,
    // not to another one.
    if (id != formatId || !format)
        undo->clear();
    dropRows();
    rows = std::move(top);
    format = newFormat.release();
    formatId = id;
    // Every value is its own baseline now: no row is marked changed.
    baseline.take(*format);
    Rendering rendering;
    QMyTreeWidgetItem *item = renderRow(rows.get(), rendering);
    const QList<QTreeWidgetItem *> below = renderChildren(rows.get(), rendering);
    // Tree order within one id, as the rows of a variable are refreshed in tree order.
    std::stable_sort(rowsById.begin(), rowsById.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    rowsById.shrink_to_fit();
    // The view reserves item data for every row of a subtree it takes in whole, data these
    // rows never hold; rows added below a row it has already cost it nothing of the kind.
    addTopLevelItem(item);
    item->addChildren(below);
    for (QMyTreeWidgetItem *hidden : rendering.hidden)
        showRowState(hidden);
    item->setExpanded(true);
    // A group that asks for it is expanded even below one that does not, ready for the day
    // that one is.
    for (QMyTreeWidgetItem *group : rendering.expanded) {
        if (group != item)
            group->setExpanded(true);
    }
    if (!filterFolded.isEmpty() || changedOnly) {
        applyFilter();
    } else {
        matches = 0;
        emit filterMatched(matches);
    }
    emit changesChanged(0);
}

void ConfTree::itemClicked(QTreeWidgetItem *item, int column)
{
    Q_UNUSED(column);
    if (!format || !item || isGroupRow(item))
        return;
    // A greyed row (or one in a greyed group) can be selected, so that its description and
    // why-text can be read, but not edited.
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item); row && row->isGreyed())
        return;
    const int id = varIdOf(item);
    const QString name = format->nameOf(id);
    const ValueSet before = valuesOf(*format, {name});
    if (!editors::edit(this, *format, id, item->text(0)))
        return;
    diagOut("Var %s changed\n", qPrintable(name));
    const ValueSet after = valuesOf(*format, {name});
    if (!after.empty() && !before.at(name).sameAs(after.at(name), format->varByName(name)->kind))
        pushValuesStep(tr("Set %1 to %2").arg(item->text(0), format->text(id).trimmed()), before, after);
    valuesChanged({name});
}

void ConfTree::itemActivated(QTreeWidgetItem *item, QTreeWidgetItem *prev)
{
    Q_UNUSED(prev);
    if (!format || !item)
        return;
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    QString desc = row ? row->confRow()->desc() : QString();
    QStringList why = whyLines(item);
    for (QString &line : why)
        line = line.toHtmlEscaped();
    if (!why.isEmpty())
        desc += QStringLiteral("<p><i>") + why.join(QStringLiteral("<br>")) + QStringLiteral("</i></p>");
    emit showDesc(desc);
}

void ConfTree::updateValue(QTreeWidgetItem *item)
{
    if (!format || !item)
        return;
    // The rows hold no item data the view is told about, so it is told once here.
    if (refreshValues(item) && item->treeWidget() == this)
        viewport()->update();
}

bool ConfTree::refreshValues(QTreeWidgetItem *item)
{
    bool shown = false;
    if (isGroupRow(item)) {
        for (int i = 0; i < item->childCount(); ++i)
            shown = refreshValues(item->child(i)) || shown;
    } else if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item)) {
        shown = refreshValue(row);
    } else {
        item->setText(1, format->text(varIdOf(item)));
    }
    return shown;
}

// A row holds a text of its own only while its value differs from the baseline; otherwise it
// shows the baseline value's text (QMyTreeWidgetItem::data), so a refresh of thousands of
// unchanged rows formats none of them.
bool ConfTree::refreshValue(QMyTreeWidgetItem *row)
{
    const bool changed = isChanged(row);
    bool shown = row->setOwnValueText(changed ? format->text(row->varId()) : QString());
    if (row->changed != changed) {
        row->changed = changed; // drawn bold, with the marker (QMyTreeWidgetItem::data)
        shown = true;
    }
    if (shown && row->place >= 0 && size_t(row->place) < search.value.size())
        search.value[size_t(row->place)] = row->text(1).toCaseFolded();
    return shown;
}

void ConfTree::updateValues()
{
    updateValue(topLevelItem(0));
}

void ConfTree::updateExpr(QString var, QTreeWidgetItem *item)
{
    if (!format)
        return;
    if (!item && !var.isNull()) {
        if (const auto it = rowsByVariable.constFind(var); it != rowsByVariable.cend()) {
            for (QMyTreeWidgetItem *row : *it)
                refreshConditions(row, var);
        }
        return;
    }
    // The installed rows without a condition have nothing to evaluate.
    if (!item && topLevelItem(0) && !conditionRows.empty()) {
        for (QMyTreeWidgetItem *row : conditionRows)
            refreshConditions(row, var);
        return;
    }
    if (!item)
        item = topLevelItem(0);
    if (!item)
        return;
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item))
        refreshConditions(row, var);
    if (isGroupRow(item)) {
        for (int i = 0; i < item->childCount(); ++i)
            updateExpr(var, item->child(i));
    }
}

void ConfTree::refreshConditions(QMyTreeWidgetItem *row, const QString &var)
{
    // Only the row's own condition is asked; the view greys and hides the rows below a
    // greyed or hidden group by itself.
    const ConfRow *model = row->confRow();
    const bool enabledAsked = model->enabledDependsOn(var);
    const bool visibleAsked = model->visibleDependsOn(var);
    // The row stays enabled for the view, so it can be selected; it is drawn greyed, with the
    // rows below it, from this state (see QMyTreeWidgetItem::data).
    if (enabledAsked)
        row->conditionEnabled = model->isEnabled(format);
    if (visibleAsked)
        row->conditionVisible = model->isVisible(format);
    // The why-text of the tooltip is made when it is asked for: an edit may change the state
    // of a thousand rows, and a tooltip is read for one.
    if (visibleAsked)
        showRowState(row);
}

void ConfTree::updateExpr(QString var)
{
    updateExpr(var, nullptr);
    // A greyed group greys the rows below it when they are drawn; they are drawn again.
    viewport()->update();
}

void ConfTree::updateExpr()
{
    updateExpr(QString(), nullptr);
    viewport()->update();
}
