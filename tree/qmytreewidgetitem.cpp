#include "tree/qmytreewidgetitem.h"

#include "expr/logicexpr.h"

QMyTreeWidgetItem::QMyTreeWidgetItem(int type)
    : QTreeWidgetItem(type)
{
}

QMyTreeWidgetItem::~QMyTreeWidgetItem()
{
    delete enabledExpr;
    delete visibleExpr;
}
