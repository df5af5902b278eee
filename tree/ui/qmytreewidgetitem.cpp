#include "tree/ui/qmytreewidgetitem.h"

#include "tree/confrow.h"
#include "tree/ui/conftree.h"

#include <QFont>

QMyTreeWidgetItem::QMyTreeWidgetItem(const ConfRow *row)
    : QTreeWidgetItem(row->isGroup() ? GroupType : VarTypeBase + row->varId()),
      conditionEnabled(true),
      conditionVisible(true),
      filteredOut(false),
      appliedHidden(false),
      appliedItalic(false),
      changed(false),
      ownLabel(false),
      model(row)
{
}

bool QMyTreeWidgetItem::isGreyed() const
{
    for (const QTreeWidgetItem *item = this; item; item = item->parent()) {
        if (const auto *row = dynamic_cast<const QMyTreeWidgetItem *>(item); row && !row->conditionEnabled)
            return true;
    }
    return false;
}

bool QMyTreeWidgetItem::setOwnValueText(const QString &text)
{
    if (text.isNull()) {
        const bool had = bool(value);
        value.reset();
        return had;
    }
    if (value && *value == text)
        return false;
    value = std::make_unique<QString>(text);
    return true;
}

QVariant QMyTreeWidgetItem::data(int column, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (column == 0 && !ownLabel)
            return model->label();
        if (column == 1 && !isGroup()) {
            if (value)
                return *value;
            if (const auto *tree = qobject_cast<const ConfTree *>(treeWidget())) {
                if (QString text = tree->baselineText(varId()); !text.isNull())
                    return text;
            }
            return QVariant();
        }
        break;
    case Qt::FontRole: {
        const bool bold = column == 1 && changed;
        if (!bold && !appliedItalic)
            break;
        QFont font = QTreeWidgetItem::data(column, role).value<QFont>();
        // A hidden row on show reads as "not there now"; a changed value stands out.
        if (appliedItalic)
            font.setItalic(true);
        if (bold)
            font.setBold(true);
        return font;
    }
    case Qt::DecorationRole:
        // The marker a user sees without reading the font: a dot before a changed value.
        if (column == 1 && changed) {
            if (const auto *tree = qobject_cast<const ConfTree *>(treeWidget()))
                return tree->changedMarker();
        }
        break;
    case ConfTree::ChangedRole:
        if (column == 1 && changed)
            return true;
        break;
    case Qt::ForegroundRole:
        if (isGreyed() || (!conditionVisible && appliedItalic)) {
            if (const QTreeWidget *tree = treeWidget())
                return tree->palette().brush(QPalette::Disabled, QPalette::Text);
        }
        break;
    case Qt::ToolTipRole:
        if (const auto *tree = qobject_cast<const ConfTree *>(treeWidget())) {
            const QStringList why = tree->whyLines(this);
            if (!why.isEmpty())
                return why.join(QLatin1Char('\n'));
        }
        break;
    default:
        break;
    }
    return QTreeWidgetItem::data(column, role);
}

void QMyTreeWidgetItem::setData(int column, int role, const QVariant &data)
{
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (column == 1 && !isGroup()) {
            // The base item would tell the view only when it holds data of its own; this one
            // holds none, so the view is asked to repaint directly.
            if (setOwnValueText(data.toString()) && treeWidget())
                treeWidget()->viewport()->update();
            return;
        }
        if (column == 0)
            ownLabel = true;
    }
    QTreeWidgetItem::setData(column, role, data);
}
