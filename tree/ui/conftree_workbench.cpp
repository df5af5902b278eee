// What the property tree offers beyond showing and editing: the baseline and the marks of
// changed values, undo and redo of every change of values, finding rows, the changed-only and
// show-hidden views, and why a row is greyed or hidden.
#include "format/confformat.h"
#include "format/diag.h"
#include "format/wholefile.h"
#include "format/ui/valueeditors.h"
#include "tree/confrow.h"
#include "tree/ui/conftree.h"
#include "tree/ui/qmytreewidgetitem.h"
#include "tree/why.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QMenu>
#include <QUndoCommand>
#include <QUndoStack>

namespace {

// Values before and after one change. The change has already been made when the step is
// pushed, so its first redo does nothing.
class ValuesCommand : public QUndoCommand
{
public:
    ValuesCommand(ConfTree *tree, const QString &text, ValueSet before, ValueSet after)
        : QUndoCommand(text), tree(tree), before(std::move(before)), after(std::move(after))
    {
    }
    void undo() override { apply(before); }
    void redo() override
    {
        if (done) {
            done = false;
            return;
        }
        apply(after);
    }

private:
    void apply(const ValueSet &values)
    {
        applyValues(*tree->format, values);
        QStringList names;
        for (const auto &entry : values)
            names << entry.first;
        // A load changes every value; asking every row once is cheaper than each row per name.
        tree->valuesChanged(names.size() > 1 ? QStringList() : names);
    }

    ConfTree *tree;
    ValueSet before;
    ValueSet after;
    bool done = true;
};

// Only what differs goes into a step.
void keepDifferences(const ConfFormat &format, ValueSet *before, ValueSet *after)
{
    for (auto it = before->begin(); it != before->end();) {
        const auto other = after->find(it->first);
        const ConfVar *var = format.varByName(it->first);
        if (other != after->end() && var && it->second.sameAs(other->second, var->kind)) {
            after->erase(other);
            it = before->erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

void ConfTree::setBaseline()
{
    if (!format)
        return;
    baselineValues = valuesOf(*format);
    valuesChanged();
}

int ConfTree::changedCount() const
{
    return format ? int(changedNames(*format, baselineValues).size()) : 0;
}

bool ConfTree::isChanged(const QTreeWidgetItem *item) const
{
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    if (!format || !row || row->isGroup())
        return false;
    const ConfVar *var = format->varById(row->varId());
    return var && ::isChanged(*var, baselineValues);
}

void ConfTree::pushValuesStep(const QString &text, const ValueSet &before, const ValueSet &after)
{
    undo->push(new ValuesCommand(this, text, before, after));
}

bool ConfTree::loadWithDescription(const QString &id, const QString &text, const std::function<bool()> &load,
                                   bool *described)
{
    const bool same = format && formatId == id;
    ValueSet before = same ? valuesOf(*format) : ValueSet();
    *described = loadFormat(id);
    if (!*described)
        return false;
    const bool loaded = load();
    if (loaded && same) {
        ValueSet after = valuesOf(*format);
        keepDifferences(*format, &before, &after);
        // Names the new reading no longer has cannot be put back; the rest can.
        if (!before.empty() || !after.empty())
            pushValuesStep(text, before, after);
    }
    return loaded;
}

bool ConfTree::openImageFile(const QString &fileName)
{
    const DiagContext context(fileName);
    if (!format) {
        diagOutError("No description for the image\n");
        return false;
    }
    const int size = format->imageSize();
    QByteArray image;
    QString error;
    // One byte more than fits tells a longer file from one of the right size.
    if (!readFileStart(fileName, qint64(size) + 1, &image, &error)) {
        diagOutError("Cannot read the image: %s\n", qPrintable(error));
        return false;
    }
    if (image.size() != size) {
        diagOutError("The image is not of %s: it has %lld bytes, the description's image %d\n",
                     qPrintable(formatId), static_cast<long long>(image.size()), size);
        return false;
    }
    ValueSet before = valuesOf(*format);
    if (!format->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())))
        return false;
    ValueSet after = valuesOf(*format);
    keepDifferences(*format, &before, &after);
    if (!before.empty() || !after.empty())
        pushValuesStep(tr("Open %1").arg(QFileInfo(fileName).fileName()), before, after);
    setBaseline();
    return true;
}

void ConfTree::revert(QTreeWidgetItem *item)
{
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    if (!format || !row || row->isGroup() || !isChanged(item))
        return;
    const QString name = format->nameOf(row->varId());
    const ValueSet before = valuesOf(*format, {name});
    ValueSet after;
    after[name] = baselineValues.at(name);
    applyValues(*format, after);
    pushValuesStep(tr("Revert %1").arg(item->text(0)), before, after);
    valuesChanged({name});
}

void ConfTree::revertAll()
{
    if (!format)
        return;
    const QStringList names = changedNames(*format, baselineValues);
    if (names.isEmpty())
        return;
    const ValueSet before = valuesOf(*format, names);
    ValueSet after;
    for (const QString &name : names)
        after[name] = baselineValues.at(name);
    applyValues(*format, after);
    pushValuesStep(tr("Revert all"), before, after);
    valuesChanged();
}

void ConfTree::valuesChanged(const QStringList &names)
{
    if (!format)
        return;
    if (names.isEmpty()) {
        updateValues();
        updateExpr();
    } else {
        for (const QString &name : names) {
            for (QMyTreeWidgetItem *row : rowsById.value(format->idOf(name)))
                updateValue(row);
            updateExpr(name);
        }
    }
    if (!filterFolded.isEmpty() || changedOnly)
        applyFilter();
    emit changesChanged(changedCount());
}

void ConfTree::markChange(QMyTreeWidgetItem *row)
{
    const bool changed = isChanged(row);
    if (row->data(1, ChangedRole).toBool() == changed)
        return;
    QFont font = row->font(1);
    font.setBold(changed);
    row->setFont(1, font);
    row->setData(1, ChangedRole, changed);
    // The marker a user sees without reading the font: a dot before the value.
    row->setData(1, Qt::DecorationRole, changed ? changedMarker() : QVariant());
}

QStringList ConfTree::whyLines(const QTreeWidgetItem *item) const
{
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    if (!row || !format)
        return QStringList();
    QStringList lines = ::whyLines(*row->confRow(), format);
    // A row greyed or hidden by a group above it says which group, and why that one is.
    for (const QTreeWidgetItem *up = item->parent(); up; up = up->parent()) {
        const auto *group = dynamic_cast<const QMyTreeWidgetItem *>(up);
        if (!group || (group->conditionEnabled && group->conditionVisible))
            continue;
        for (const QString &line : ::whyLines(*group->confRow(), format))
            lines << tr("Group \"%1\": %2").arg(group->text(0), line);
    }
    return lines;
}

void ConfTree::showRowState(QMyTreeWidgetItem *row)
{
    const bool hiddenByCondition = !row->conditionVisible;
    const bool hidden = (hiddenByCondition && !showHidden) || row->filteredOut;
    if (row->treeWidget() && hidden != row->appliedHidden) {
        row->setHidden(hidden);
        row->appliedHidden = hidden;
    }
    // In italics, and greyed like a disabled row (see QMyTreeWidgetItem::data), so it reads
    // as "not there now".
    const bool italic = hiddenByCondition && showHidden;
    if (row->appliedItalic != italic) {
        row->appliedItalic = italic;
        for (int column : {0, 1}) {
            QFont font = row->font(column);
            font.setItalic(italic);
            row->setFont(column, font);
        }
    }
}

void ConfTree::setFilterText(const QString &text)
{
    const QString folded = text.toCaseFolded();
    if (folded == filterFolded)
        return;
    filterFolded = folded;
    applyFilter();
}

void ConfTree::setChangedOnly(bool on)
{
    if (on == changedOnly)
        return;
    changedOnly = on;
    applyFilter();
}

void ConfTree::setShowHidden(bool on)
{
    if (on == showHidden)
        return;
    showHidden = on;
    applyFilter();
}

// True when the row or a row below it is on the list. Only the rows that match are counted;
// their groups are shown, expanded, to lead to them. groupsReachable: no group above the row
// is hidden by its condition (or hidden rows are shown).
bool ConfTree::filterRow(QMyTreeWidgetItem *row, bool groupsReachable)
{
    const bool filtering = !filterFolded.isEmpty() || changedOnly;
    bool matched = true;
    if (!filterFolded.isEmpty())
        matched = row->searchText.contains(filterFolded)
            || (!row->isGroup() && row->searchValue.contains(filterFolded));
    if (changedOnly)
        matched = matched && isChanged(row);
    // A row under a hidden group is out of reach as much as a hidden row itself.
    const bool reachable = groupsReachable && (row->conditionVisible || showHidden);
    bool below = false;
    for (int i = 0; i < row->childCount(); ++i) {
        if (auto *child = static_cast<QMyTreeWidgetItem *>(row->child(i)); filterRow(child, reachable))
            below = true;
    }
    const bool listed = reachable && (matched || below);
    if (matched && reachable && filtering && (!row->isGroup() || !changedOnly))
        ++matches;
    row->filteredOut = filtering && !listed;
    showRowState(row);
    if (filtering && below)
        row->setExpanded(true);
    return listed;
}

void ConfTree::applyFilter()
{
    matches = 0;
    auto *top = static_cast<QMyTreeWidgetItem *>(topLevelItem(0));
    if (top) {
        setUpdatesEnabled(false);
        filterRow(top, true);
        // The top row is the description itself: always there to hold the rows.
        top->filteredOut = false;
        showRowState(top);
        setUpdatesEnabled(true);
    }
    emit filterMatched(matches);
}

QIcon ConfTree::changedMarker() const
{
    if (marker.isNull()) {
        const int side = fontMetrics().height() / 2;
        QPixmap dot(side, side);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().brush(QPalette::Highlight));
        painter.drawEllipse(dot.rect());
        marker = QIcon(dot);
    }
    return marker;
}

void ConfTree::keyPressEvent(QKeyEvent *event)
{
    // The editor opens from the keyboard as from a double-click.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_F2)
        && event->modifiers() == Qt::NoModifier && currentItem()) {
        itemClicked(currentItem(), 1);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void ConfTree::contextMenu(const QPoint &pos)
{
    QTreeWidgetItem *item = itemAt(pos);
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    if (!format || !row || row->isGroup())
        return;
    QMenu menu(this);
    QAction *edit = menu.addAction(tr("Edit value"));
    edit->setEnabled(!row->isGreyed());
    QAction *back = menu.addAction(tr("Revert"));
    back->setEnabled(isChanged(item));
    QAction *chosen = menu.exec(viewport()->mapToGlobal(pos));
    if (chosen == edit)
        itemClicked(item, 1);
    else if (chosen == back)
        revert(item);
}
