#pragma once
// The two-column property tree: group titles and variable labels with their value texts.
// It owns the loaded format, so the commands find the current format and its id here.
#include "format/valueset.h"
#include "tree/treeloader.h"
#include "tree/ui/valuebaseline.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class ConfFormat;
class ConfRow;
class QMyTreeWidgetItem;
class QUndoStack;

class ConfTree : public QTreeWidget, public TreeLoader
{
    Q_OBJECT
public:
    // Set on a variable row's value column while its value differs from the baseline.
    enum { ChangedRole = Qt::UserRole + 1 };

    explicit ConfTree(QWidget *parent = nullptr);
    ~ConfTree() override;

    // Replaces the shown description in one step: drops the old rows and format, takes
    // the new ones, shows a rendered row for every model row, fills the values, evaluates
    // every condition and expands the top row and the groups that ask for it. Callers build
    // and check both parts first, so nothing can fail here.
    void install(std::unique_ptr<ConfFormat> newFormat, const QString &id, std::unique_ptr<ConfRow> top);

    // Installs the description in the file when it loads completely and its root names
    // expectedId; otherwise the shown description stays as it was.
    bool loadFormatFile(const QString &fileName, const QString &expectedId);
    // The description of an id from "confxml/", downloaded once when the local file fails.
    bool loadFormat(const QString &id);
    // A value file: first the description its root names, read anew, then its values, which
    // become the baseline.
    bool openConfFile(const QString &fileName);
    // An image file of the shown description (a saved binary, a backup): its values, checked
    // by size, CRC and unpacking, are one step and become the baseline. Nothing changes when
    // it does not fit.
    bool openImageFile(const QString &fileName);
    // Reads the shown description anew from its file, for an author editing it beside the
    // window: the values, the baseline and the undo steps carry over by variable name. A
    // description that no longer loads leaves everything as it was.
    bool reloadDescription();

    ConfFormat *format = nullptr; // owned; null until a description has been installed
    QString formatId;

    // The values a user compares against: those of the last open, download or new
    // description, and of the last save or upload. A variable whose value differs is marked.
    // A row whose value equals the baseline shows the baseline's text, so whatever changes
    // the baseline refreshes every row afterwards (valuesChanged()), as this does.
    void setBaseline();
    int changedCount() const;
    bool isChanged(const QTreeWidgetItem *item) const;

    // Every change of values is a step on this stack: an edit, a revert, a load of values
    // into the shown description. Installing another description empties it.
    QUndoStack *undoStack() const { return undo; }
    // Reads the description of `id` anew, then runs `load`, which fills in values. When the
    // description shown before had the same id, the change of values is one step named
    // `text` (the stack is kept across the new reading). *described tells whether the
    // description loaded; the result is what load returned.
    bool loadWithDescription(const QString &id, const QString &text, const std::function<bool()> &load,
                             bool *described);
    // The row's variable (every variable) back to its baseline value, as one step.
    void revert(QTreeWidgetItem *item);
    void revertAll();
    // Refreshes what depends on the named values (every value for a null list): texts,
    // change marks, conditions, the filter.
    void valuesChanged(const QStringList &names = QStringList());

    // Find: rows whose label, variable name, value text or description contains the text,
    // in any letter case, with their groups; an empty text shows every row.
    void setFilterText(const QString &text);
    // Only the rows whose value differs from the baseline, with their groups.
    void setChangedOnly(bool on);
    // Rows hidden by their condition shown greyed and in italics.
    void setShowHidden(bool on);
    // Rows that match the filter text and are on the list (every shown row without a text).
    int matchCount() const { return matches; }

    // The lines that say why the row is greyed or hidden; empty when it is neither.
    QStringList whyLines(const QTreeWidgetItem *item) const;
    // The dot drawn before a value that differs from the baseline.
    QIcon changedMarker() const;
    // The text of the variable's baseline value: what its rows show while their value, as of
    // their last refresh, is the baseline's. Null without one.
    QString baselineText(int varId) const;

signals:
    void showDesc(QString desc);
    // The number of values that differ from the baseline, after every change of it.
    void changesChanged(int count);
    void filterMatched(int count);

public slots:
    // Double-click: edit the row's variable.
    void itemClicked(QTreeWidgetItem *item, int column);
    // Current row changed: publish its description.
    void itemActivated(QTreeWidgetItem *item, QTreeWidgetItem *prev);
    void updateValue(QTreeWidgetItem *item);
    void updateValues();
    // A null name re-evaluates every condition; an empty one matches none.
    void updateExpr(QString var, QTreeWidgetItem *item);
    void updateExpr(QString var);
    void updateExpr();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Rendering;
    QMyTreeWidgetItem *renderRow(const ConfRow *row, Rendering &rendering);
    QList<QTreeWidgetItem *> renderChildren(const ConfRow *row, Rendering &rendering);
    // Drops the rendered rows, their model and the format, the rendered rows first.
    void dropRows();
    // Refreshes the row's value text and change mark (the rows below a group); true when
    // anything shown changed.
    bool refreshValues(QTreeWidgetItem *item);
    bool refreshValue(QMyTreeWidgetItem *row);
    void pushValuesStep(const QString &text, const ValueSet &before, const ValueSet &after);
    void contextMenu(const QPoint &pos);
    void applyFilter();
    bool filterRow(QMyTreeWidgetItem *row, bool groupsReachable);
    // Whether the row's label, description, variable name or value text contains the
    // (case-folded) find text.
    bool matchesFilter(const QMyTreeWidgetItem *row);
    void showRowState(QMyTreeWidgetItem *row);
    // Evaluates again the row's conditions that mention var (every one for a null name).
    void refreshConditions(QMyTreeWidgetItem *row, const QString &var);

    std::unique_ptr<ConfRow> rows; // the model the rendered rows point at
    // The rendered rows whose conditions mention each variable, so that an edit asks those
    // rows alone instead of walking a tree of thousands.
    QHash<QString, std::vector<QMyTreeWidgetItem *>> rowsByVariable;
    // The rendered rows with a condition of their own, for a refresh of every condition.
    std::vector<QMyTreeWidgetItem *> conditionRows;
    // Every rendered variable row by its variable's id (rows of one id in tree order), so
    // that a change of one value refreshes its rows.
    std::vector<std::pair<int, QMyTreeWidgetItem *>> rowsById;
    // What finding matches, case-folded, by the rows' places: label, description and
    // variable name, and apart the value text, which a refresh keeps up to date. Made when a
    // find text is first used: most sessions never search, and folding the descriptions of
    // thousands of rows at every install cost more than the rest of the install.
    struct SearchTexts {
        std::vector<QString> row;
        std::vector<QString> value;
    } search;
    static QString searchTextOf(const QMyTreeWidgetItem *row, const ConfFormat *format);

    ValueBaseline baseline;
    QUndoStack *undo;
    QString filterFolded; // case-folded
    bool changedOnly = false;
    bool showHidden = false;
    int matches = 0;
    mutable QIcon marker;
};
