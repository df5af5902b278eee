#pragma once
// One row of the property tree on screen, showing one row of the description's row model:
// type 0 for a group, 1000 + variable id for a variable row. The model row belongs to the
// tree that shows it and outlives the rendered row.
#include <QTreeWidgetItem>

class ConfRow;

class QMyTreeWidgetItem : public QTreeWidgetItem
{
public:
    enum { GroupType = 0, VarTypeBase = 1000 };

    // The label in column 0; the value column stays empty until the tree fills it.
    explicit QMyTreeWidgetItem(const ConfRow *row);

    bool isGroup() const { return type() < VarTypeBase; }
    int varId() const { return type() - VarTypeBase; }

    const ConfRow *confRow() const { return model; }

    // Greyed: its enabled condition, or that of a group above it, does not hold. Such a row
    // can be selected but not edited.
    bool isGreyed() const;

    // The tooltip of a greyed or hidden row says why it is (asked of the tree that shows it),
    // and a greyed row, or a hidden one on show, is drawn in the disabled text colour.
    QVariant data(int column, int role) const override;

    // What the row's own conditions say now; the view takes a greyed or hidden group's
    // rows along by itself.
    bool conditionEnabled = true;
    bool conditionVisible = true;
    bool filteredOut = false; // by the find text or the changed-only view
    // Label, variable name and description, and the value text, case-folded, for finding the
    // row; the value's is kept up to date by the tree as it sets the text.
    QString searchText;
    QString searchValue;
    // What the tree last applied, so a refilter touches only the rows that change.
    bool appliedHidden = false;
    bool appliedItalic = false;

private:
    const ConfRow *model;
};
