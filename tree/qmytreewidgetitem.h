#pragma once
// One row of the property tree: type 0 for a group, 1000 + variable id for a variable row.
#include <QTreeWidgetItem>

class LogicExpr;

class QMyTreeWidgetItem : public QTreeWidgetItem
{
public:
    enum { GroupType = 0, VarTypeBase = 1000 };

    explicit QMyTreeWidgetItem(int type = GroupType);
    ~QMyTreeWidgetItem() override; // deletes both conditions; the base deletes the children

    bool isGroup() const { return type() < VarTypeBase; }
    int varId() const { return type() - VarTypeBase; }

    QString desc;                       // HTML for the description pane
    LogicExpr *enabledExpr = nullptr;   // owned, may be null
    LogicExpr *visibleExpr = nullptr;   // owned, may be null
    // A row outside a tree widget cannot be expanded, so the loader records the wish
    // and the installer applies it once the rows are in the widget.
    bool startExpanded = false;
};
