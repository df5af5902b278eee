#include "tree/ui/conftree.h"

#include "format/confformat.h"
#include "format/diag.h"
#include "format/ui/valueeditors.h"
#include "tree/confrow.h"
#include "tree/ui/qmytreewidgetitem.h"

namespace {

bool isGroupRow(const QTreeWidgetItem *item)
{
    return item->type() < QMyTreeWidgetItem::VarTypeBase;
}

int varIdOf(const QTreeWidgetItem *item)
{
    return item->type() - QMyTreeWidgetItem::VarTypeBase;
}

// The row and the rows below it, detached: they are added to the view in one step. Each
// rendered row is listed under every variable its conditions mention.
QTreeWidgetItem *renderRows(const ConfRow *row, QHash<QString, QList<QMyTreeWidgetItem *>> &byVariable)
{
    auto *item = new QMyTreeWidgetItem(row);
    QStringList mentioned;
    for (const LogicExpr *condition : {row->enabledCondition(), row->visibleCondition()}) {
        if (condition)
            mentioned += condition->variables();
    }
    mentioned.removeDuplicates();
    for (const QString &name : std::as_const(mentioned))
        byVariable[name].append(item);
    if (row->childCount() > 0) {
        QList<QTreeWidgetItem *> children;
        children.reserve(row->childCount());
        for (int i = 0; i < row->childCount(); ++i)
            children.append(renderRows(row->child(i), byVariable));
        item->addChildren(children);
    }
    return item;
}

} // namespace

ConfTree::ConfTree(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderLabels({tr("Property"), tr("Value")});
    connect(this, &QTreeWidget::itemDoubleClicked, this, &ConfTree::itemClicked);
    connect(this, &QTreeWidget::currentItemChanged, this, &ConfTree::itemActivated);
}

ConfTree::~ConfTree()
{
    // The rows go before their model and the format: clearing changes the current row, and
    // nothing may look at a model row or a format that is already gone.
    disconnect(this, &QTreeWidget::itemDoubleClicked, this, &ConfTree::itemClicked);
    disconnect(this, &QTreeWidget::currentItemChanged, this, &ConfTree::itemActivated);
    rowsByVariable.clear();
    clear();
    rows.reset();
    delete format;
}

void ConfTree::install(std::unique_ptr<ConfFormat> newFormat, const QString &id, std::unique_ptr<ConfRow> top)
{
    rowsByVariable.clear();
    clear();
    rows = std::move(top);
    delete format;
    format = newFormat.release();
    formatId = id;
    QTreeWidgetItem *item = renderRows(rows.get(), rowsByVariable);
    updateValue(item);
    addTopLevelItem(item);
    updateExpr(QString(), item);
    item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        applyExpansion(item->child(i));
}

void ConfTree::applyExpansion(QTreeWidgetItem *item)
{
    if (!isGroupRow(item))
        return;
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item); row && row->confRow()->startExpanded())
        row->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        applyExpansion(item->child(i));
}

void ConfTree::itemClicked(QTreeWidgetItem *item, int column)
{
    Q_UNUSED(column);
    if (!format || !item || isGroupRow(item))
        return;
    // The tree view reports double-clicks on disabled rows as well; a greyed row (or one in
    // a greyed group) must not open its editor.
    if (!item->flags().testFlag(Qt::ItemIsEnabled))
        return;
    const int id = varIdOf(item);
    if (!editors::edit(this, *format, id, item->text(0)))
        return;
    const QString name = format->nameOf(id);
    diagOut("Var %s changed\n", qPrintable(name));
    updateValue(item);
    updateExpr(name);
}

void ConfTree::itemActivated(QTreeWidgetItem *item, QTreeWidgetItem *prev)
{
    Q_UNUSED(prev);
    if (!format || !item)
        return;
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    emit showDesc(row ? row->confRow()->desc() : QString());
}

void ConfTree::updateValue(QTreeWidgetItem *item)
{
    if (!format || !item)
        return;
    if (isGroupRow(item)) {
        for (int i = 0; i < item->childCount(); ++i)
            updateValue(item->child(i));
    } else {
        item->setText(1, format->text(varIdOf(item)));
    }
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
        for (QMyTreeWidgetItem *row : rowsByVariable.value(var))
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
    if (model->enabledDependsOn(var)) {
        const Qt::ItemFlags flags = row->flags();
        row->setFlags(model->isEnabled(format) ? flags | Qt::ItemIsEnabled : flags & ~Qt::ItemIsEnabled);
    }
    if (model->visibleDependsOn(var)) {
        const bool visible = model->isVisible(format);
        if (row->treeWidget())
            row->setHidden(!visible);
    }
}

void ConfTree::updateExpr(QString var)
{
    updateExpr(var, nullptr);
}

void ConfTree::updateExpr()
{
    updateExpr(QString(), nullptr);
}
