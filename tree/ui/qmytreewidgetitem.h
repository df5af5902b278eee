#pragma once
// One row of the property tree on screen, showing one row of the description's row model:
// type 0 for a group, 1000 + variable id for a variable row. The model row belongs to the
// tree that shows it and outlives the rendered row.
//
// A large description has tens of thousands of these, so a row keeps no copy of what it can
// ask its model row or its tree for: the label, fonts, the changed marker and the greyed
// colour are answered in data() from the model row and a few bits. The value column shows the
// value as of the tree's last refresh of the row; while that was the baseline value, as it is
// for nearly every row nearly always, the row holds no text and shows the baseline's.
#include <QString>
#include <QTreeWidgetItem>
#include <memory>

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

    // The value column's own text, as the tree last set it; a null text has the row show
    // the text of its variable's baseline value. True when it differs from what was held.
    // The caller has the view repaint: refreshing thousands of rows asks for one repaint,
    // not one per row.
    bool setOwnValueText(const QString &text);

    // The tooltip of a greyed or hidden row says why it is (asked of the tree that shows it),
    // and a greyed row, or a hidden one on show, is drawn in the disabled text colour. The
    // label and value texts, the changed value's bold font and marker and the italics of a
    // hidden row on show come from the row's state, not from stored item data.
    QVariant data(int column, int role) const override;
    // Texts set from outside the tree (setText) are shown as set: the label until it is set
    // again, the value until the tree refreshes it.
    void setData(int column, int role, const QVariant &value) override;

    // The row's place in the tree as installed, top first; -1 for a row the tree did not make.
    // (First, so that it fills the base item's tail padding.)
    int place = -1;
    // What the row's own conditions say now; the view takes a greyed or hidden group's
    // rows along by itself.
    bool conditionEnabled : 1;
    bool conditionVisible : 1;
    bool filteredOut : 1; // by the find text or the changed-only view
    // What the tree last applied, so a refilter touches only the rows that change.
    bool appliedHidden : 1;
    bool appliedItalic : 1;
    // The value differs from the baseline as of the tree's last refresh of the row.
    bool changed : 1;

private:
    // Set once the label has been set from outside; it then lives in the base item's data.
    bool ownLabel : 1;
    const ConfRow *model;
    std::unique_ptr<QString> value; // null while the row shows the baseline's text
};
