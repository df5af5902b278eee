#include "tree/ui/qmytreewidgetitem.h"

#include "tree/confrow.h"
#include "tree/ui/conftree.h"

QMyTreeWidgetItem::QMyTreeWidgetItem(const ConfRow *row)
    : QTreeWidgetItem(row->isGroup() ? GroupType : VarTypeBase + row->varId()), model(row)
{
    setText(0, row->label());
}

bool QMyTreeWidgetItem::isGreyed() const
{
    for (const QTreeWidgetItem *item = this; item; item = item->parent()) {
        if (const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item); row && !row->conditionEnabled)
            return true;
    }
    return false;
}

QVariant QMyTreeWidgetItem::data(int column, int role) const
{
    if (role == Qt::ForegroundRole && (isGreyed() || (!conditionVisible && appliedItalic))) {
        if (const QTreeWidget *tree = treeWidget())
            return tree->palette().brush(QPalette::Disabled, QPalette::Text);
    }
    if (role == Qt::ToolTipRole) {
        if (const auto *tree = qobject_cast<const ConfTree *>(treeWidget())) {
            const QStringList why = tree->whyLines(this);
            if (!why.isEmpty())
                return why.join(QLatin1Char('\n'));
        }
    }
    return QTreeWidgetItem::data(column, role);
}
