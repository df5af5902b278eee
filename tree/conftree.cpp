#include "tree/conftree.h"

#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/diag.h"
#include "tree/qmytreewidgetitem.h"

namespace {

bool isGroupRow(const QTreeWidgetItem *item)
{
    return item->type() < QMyTreeWidgetItem::VarTypeBase;
}

int varIdOf(const QTreeWidgetItem *item)
{
    return item->type() - QMyTreeWidgetItem::VarTypeBase;
}

// A null name stands for every condition; otherwise only those that mention the name.
bool concerns(const LogicExpr *expr, const QString &var)
{
    return expr && (var.isNull() || expr->variables().contains(var));
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
    // The rows go before the format: clearing changes the current row, and nothing may
    // look at a format that is already gone.
    disconnect(this, &QTreeWidget::itemDoubleClicked, this, &ConfTree::itemClicked);
    disconnect(this, &QTreeWidget::currentItemChanged, this, &ConfTree::itemActivated);
    clear();
    delete format;
}

void ConfTree::install(ConfFormat *newFormat, const QString &id, QMyTreeWidgetItem *top)
{
    clear();
    delete format;
    format = newFormat;
    formatId = id;
    updateValue(top);
    addTopLevelItem(top);
    updateExpr(QString(), top);
    top->setExpanded(true);
    for (int i = 0; i < top->childCount(); ++i)
        applyExpansion(top->child(i));
}

void ConfTree::applyExpansion(QTreeWidgetItem *item)
{
    if (!isGroupRow(item))
        return;
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item); row && row->startExpanded)
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
    if (!format->edit(this, id, item->text(0)))
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
    emit showDesc(row ? row->desc : QString());
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
    if (!item)
        item = topLevelItem(0);
    if (!item)
        return;
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item)) {
        if (concerns(row->enabledExpr, var)) {
            const Qt::ItemFlags flags = row->flags();
            row->setFlags(row->enabledExpr->evaluate(format) ? flags | Qt::ItemIsEnabled
                                                             : flags & ~Qt::ItemIsEnabled);
        }
        if (concerns(row->visibleExpr, var)) {
            const bool visible = row->visibleExpr->evaluate(format);
            if (row->treeWidget())
                row->setHidden(!visible);
        }
    }
    if (isGroupRow(item)) {
        for (int i = 0; i < item->childCount(); ++i)
            updateExpr(var, item->child(i));
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
