#include "tree/ui/conftree.h"

#include "format/confformat.h"
#include "format/diag.h"
#include "format/ui/valueeditors.h"
#include "tree/confrow.h"
#include "tree/ui/qmytreewidgetitem.h"
#include "tree/why.h"

#include <QUndoStack>

namespace {

bool isGroupRow(const QTreeWidgetItem *item)
{
    return item->type() < QMyTreeWidgetItem::VarTypeBase;
}

int varIdOf(const QTreeWidgetItem *item)
{
    return item->type() - QMyTreeWidgetItem::VarTypeBase;
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

struct RowIndex {
    QHash<QString, QList<QMyTreeWidgetItem *>> byVariable;
    QHash<int, QList<QMyTreeWidgetItem *>> byId;
};

// The row and the rows below it, detached: they are added to the view in one step. Each
// rendered row is listed under every variable its conditions mention, and under its own
// variable's id.
QTreeWidgetItem *renderRows(const ConfRow *row, const ConfFormat *format, RowIndex &index)
{
    auto *item = new QMyTreeWidgetItem(row);
    QString search = row->label() + QLatin1Char('\n') + plainText(row->desc());
    if (!row->isGroup()) {
        index.byId[row->varId()].append(item);
        search += QLatin1Char('\n') + format->nameOf(row->varId());
    }
    item->searchText = search.toCaseFolded();
    auto &byVariable = index.byVariable;
    QStringList mentioned;
    for (const LogicExpr *condition : {row->enabledCondition(), row->visibleCondition()}) {
        if (condition)
            mentioned += condition->variables();
    }
    mentioned.removeDuplicates();
    for (const QString &name : std::as_const(mentioned))
        byVariable[name].append(item);
    if (row->childCount() > 0) {
        QList<QTreeWidgetItem *> children;
        children.reserve(row->childCount());
        for (int i = 0; i < row->childCount(); ++i)
            children.append(renderRows(row->child(i), format, index));
        item->addChildren(children);
    }
    return item;
}

} // namespace

ConfTree::ConfTree(QWidget *parent)
    : QTreeWidget(parent), undo(new QUndoStack(this))
{
    setHeaderLabels({tr("Property"), tr("Value")});
    connect(this, &QTreeWidget::itemDoubleClicked, this, &ConfTree::itemClicked);
    connect(this, &QTreeWidget::currentItemChanged, this, &ConfTree::itemActivated);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &ConfTree::contextMenu);
}

ConfTree::~ConfTree()
{
    // The rows go before their model and the format: clearing changes the current row, and
    // nothing may look at a model row or a format that is already gone.
    disconnect(this, &QTreeWidget::itemDoubleClicked, this, &ConfTree::itemClicked);
    disconnect(this, &QTreeWidget::currentItemChanged, this, &ConfTree::itemActivated);
    rowsByVariable.clear();
    rowsById.clear();
    // The window that listens to the stack may be half gone; its steps go with it unheard.
    undo->blockSignals(true);
    undo->clear();
    clear();
    rows.reset();
    delete format;
}

void ConfTree::install(std::unique_ptr<ConfFormat> newFormat, const QString &id, std::unique_ptr<ConfRow> top)
{
    // Steps hold values by name: they carry over to a new reading of the same description,
    // not to another one.
    if (id != formatId || !format)
        undo->clear();
    rowsByVariable.clear();
    rowsById.clear();
    clear();
    rows = std::move(top);
    delete format;
    format = newFormat.release();
    formatId = id;
    baselineValues = valuesOf(*format);
    RowIndex index;
    QTreeWidgetItem *item = renderRows(rows.get(), format, index);
    rowsByVariable = std::move(index.byVariable);
    rowsById = std::move(index.byId);
    updateValue(item);
    addTopLevelItem(item);
    updateExpr(QString(), item);
    item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        applyExpansion(item->child(i));
    applyFilter();
    emit changesChanged(0);
}

void ConfTree::applyExpansion(QTreeWidgetItem *item)
{
    if (!isGroupRow(item))
        return;
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item); row && row->confRow()->startExpanded())
        row->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        applyExpansion(item->child(i));
}

void ConfTree::itemClicked(QTreeWidgetItem *item, int column)
{
    Q_UNUSED(column);
    if (!format || !item || isGroupRow(item))
        return;
    // A greyed row (or one in a greyed group) can be selected, so that its description and
    // why-text can be read, but not edited.
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item); row && row->isGreyed())
        return;
    const int id = varIdOf(item);
    const QString name = format->nameOf(id);
    const ValueSet before = valuesOf(*format, {name});
    if (!editors::edit(this, *format, id, item->text(0)))
        return;
    diagOut("Var %s changed\n", qPrintable(name));
    const ValueSet after = valuesOf(*format, {name});
    if (!after.empty() && !before.at(name).sameAs(after.at(name), format->varByName(name)->kind))
        pushValuesStep(tr("Set %1 to %2").arg(item->text(0), format->text(id).trimmed()), before, after);
    valuesChanged({name});
}

void ConfTree::itemActivated(QTreeWidgetItem *item, QTreeWidgetItem *prev)
{
    Q_UNUSED(prev);
    if (!format || !item)
        return;
    const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item);
    QString desc = row ? row->confRow()->desc() : QString();
    QStringList why = whyLines(item);
    for (QString &line : why)
        line = line.toHtmlEscaped();
    if (!why.isEmpty())
        desc += QStringLiteral("<p><i>") + why.join(QStringLiteral("<br>")) + QStringLiteral("</i></p>");
    emit showDesc(desc);
}

void ConfTree::updateValue(QTreeWidgetItem *item)
{
    if (!format || !item)
        return;
    if (isGroupRow(item)) {
        for (int i = 0; i < item->childCount(); ++i)
            updateValue(item->child(i));
    } else {
        const QString text = format->text(varIdOf(item));
        item->setText(1, text);
        if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item)) {
            row->searchValue = text.toCaseFolded();
            markChange(row);
        }
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
    if (!item && !var.isNull()) {
        for (QMyTreeWidgetItem *row : rowsByVariable.value(var))
            refreshConditions(row, var);
        return;
    }
    if (!item)
        item = topLevelItem(0);
    if (!item)
        return;
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item))
        refreshConditions(row, var);
    if (isGroupRow(item)) {
        for (int i = 0; i < item->childCount(); ++i)
            updateExpr(var, item->child(i));
    }
}

void ConfTree::refreshConditions(QMyTreeWidgetItem *row, const QString &var)
{
    // Only the row's own condition is asked; the view greys and hides the rows below a
    // greyed or hidden group by itself.
    const ConfRow *model = row->confRow();
    const bool enabledAsked = model->enabledDependsOn(var);
    const bool visibleAsked = model->visibleDependsOn(var);
    // The row stays enabled for the view, so it can be selected; it is drawn greyed, with the
    // rows below it, from this state (see QMyTreeWidgetItem::data).
    if (enabledAsked)
        row->conditionEnabled = model->isEnabled(format);
    if (visibleAsked)
        row->conditionVisible = model->isVisible(format);
    // The why-text of the tooltip is made when it is asked for: an edit may change the state
    // of a thousand rows, and a tooltip is read for one.
    if (visibleAsked)
        showRowState(row);
}

void ConfTree::updateExpr(QString var)
{
    updateExpr(var, nullptr);
    // A greyed group greys the rows below it when they are drawn; they are drawn again.
    viewport()->update();
}

void ConfTree::updateExpr()
{
    updateExpr(QString(), nullptr);
    viewport()->update();
}
