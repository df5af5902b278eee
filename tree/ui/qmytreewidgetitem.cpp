#include "tree/ui/qmytreewidgetitem.h"

#include "tree/confrow.h"

QMyTreeWidgetItem::QMyTreeWidgetItem(const ConfRow *row)
    : QTreeWidgetItem(row->isGroup() ? GroupType : VarTypeBase + row->varId()), model(row)
{
    setText(0, row->label());
}
