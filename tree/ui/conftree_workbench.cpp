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

#include <algorithm>

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

// A description's text without its markup, for finding a row by what its description says.
QString plainText(const QString &html)
{
    QString text;
    text.reserve(html.size());
    bool inTag = false;
    for (const QChar c : html) {
        if (c == QLatin1Char('<'))
            inTag = true;
        else if (c == QLatin1Char('>'))
            inTag = false, text += QLatin1Char(' ');
        else if (!inTag)
            text += c;
    }
    return text;
}

} // namespace

void ConfTree::setBaseline()
{
    if (!format)
        return;
    baseline.take(*format);
    valuesChanged();
}

int ConfTree::changedCount() const
{
    return format ? baseline.changedCount(*format) : 0;
}

bool ConfTree::isChanged(const QTreeWidgetItem *item) const
{
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    if (!format || !row || row->isGroup())
        return false;
    const ConfVar *var = format->varById(row->varId());
    return var && baseline.isChanged(*var);
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
    after[name] = *baseline.valueOf(*format->varById(row->varId()));
    applyValues(*format, after);
    pushValuesStep(tr("Revert %1").arg(item->text(0)), before, after);
    valuesChanged({name});
}

void ConfTree::revertAll()
{
    if (!format)
        return;
    const QStringList names = baseline.changedNames(*format);
    if (names.isEmpty())
        return;
    const ValueSet before = valuesOf(*format, names);
    ValueSet after;
    for (const QString &name : names)
        after[name] = *baseline.valueOf(*format->varByName(name));
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
            const int id = format->idOf(name);
            auto it = std::lower_bound(rowsById.begin(), rowsById.end(), id,
                                       [](const auto &entry, int wanted) { return entry.first < wanted; });
            for (; it != rowsById.end() && it->first == id; ++it)
                updateValue(it->second);
            updateExpr(name);
        }
    }
    if (!filterFolded.isEmpty() || changedOnly)
        applyFilter();
    emit changesChanged(changedCount());
}

QString ConfTree::baselineText(int varId) const
{
    const ConfVar *var = format ? format->varById(varId) : nullptr;
    if (!var)
        return QString();
    const VarValue *value = baseline.valueOf(*var);
    if (!value || value->sameAs(VarValue::of(*var), var->kind))
        return format->varText(var);
    // The value has changed behind the tree's back since the row's last refresh, and the row
    // goes on showing what it showed.
    ConfVar shown = *var;
    value->applyTo(shown);
    return format->varText(&shown);
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
    // as "not there now". The rows hold no font of their own; the view draws the state anew.
    const bool italic = hiddenByCondition && showHidden;
    if (row->appliedItalic != italic) {
        row->appliedItalic = italic;
        if (row->treeWidget())
            viewport()->update();
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
        matched = matchesFilter(row);
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

QString ConfTree::searchTextOf(const QMyTreeWidgetItem *row, const ConfFormat *format)
{
    const ConfRow *model = row->confRow();
    QString text = model->label() + QLatin1Char('\n') + plainText(model->desc());
    if (!row->isGroup() && format)
        text += QLatin1Char('\n') + format->nameOf(row->varId());
    return text.toCaseFolded();
}

bool ConfTree::matchesFilter(const QMyTreeWidgetItem *row)
{
    // Made for every installed row at once, the first time one is asked.
    if (search.row.empty() && row->place >= 0) {
        std::vector<const QTreeWidgetItem *> stack;
        for (int i = topLevelItemCount() - 1; i >= 0; --i)
            stack.push_back(topLevelItem(i));
        while (!stack.empty()) {
            const auto *item = static_cast<const QMyTreeWidgetItem *>(stack.back());
            stack.pop_back();
            if (item->place >= 0) {
                const auto place = size_t(item->place);
                if (place >= search.row.size()) {
                    search.row.resize(place + 1);
                    search.value.resize(place + 1);
                }
                search.row[place] = searchTextOf(item, format);
                if (!item->isGroup())
                    search.value[place] = item->text(1).toCaseFolded();
            }
            for (int i = item->childCount() - 1; i >= 0; --i)
                stack.push_back(item->child(i));
        }
    }
    if (row->place >= 0 && size_t(row->place) < search.row.size()) {
        const auto place = size_t(row->place);
        return search.row[place].contains(filterFolded) || search.value[place].contains(filterFolded);
    }
    // A row the tree did not make is asked as it is.
    return searchTextOf(row, format).contains(filterFolded)
        || (!row->isGroup() && row->text(1).toCaseFolded().contains(filterFolded));
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
