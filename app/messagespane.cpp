#include "app/messagespane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTreeWidget>

namespace {

QString severityText(DiagSeverity severity)
{
    switch (severity) {
    case DiagSeverity::Error:
        return MessagesPane::tr("Error");
    case DiagSeverity::Warning:
        return MessagesPane::tr("Warning");
    case DiagSeverity::Info:
        break;
    }
    return MessagesPane::tr("Information");
}

} // namespace

MessagesPane::MessagesPane(QWidget *parent)
    : QDockWidget(tr("Messages"), parent)
{
    setObjectName(QStringLiteral("messagesPane"));
}

QTreeWidget *MessagesPane::messageList()
{
    if (list)
        return list;
    list = new QTreeWidget(this);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({tr("Severity"), tr("Where"), tr("Message")});
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->header()->setStretchLastSection(true);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *copy = new QAction(tr("Copy all"), list);
    connect(copy, &QAction::triggered, this, &MessagesPane::copyAll);
    list->addAction(copy);
    setWidget(list);
    return list;
}

void MessagesPane::setVisible(bool visible)
{
    if (visible)
        messageList();
    QDockWidget::setVisible(visible);
}

void MessagesPane::setMessages(const QList<Diagnostic> &messages)
{
    QTreeWidget *rows = messageList();
    rows->clear();
    for (const Diagnostic &d : messages) {
        auto *item = new QTreeWidgetItem(rows, {severityText(d.severity), d.location.toString(), d.text.trimmed()});
        item->setData(0, Qt::UserRole, int(d.severity));
    }
}

QString MessagesPane::text() const
{
    QStringList lines;
    for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        lines << item->text(0) + QLatin1Char('\t') + item->text(1) + QLatin1Char('\t') + item->text(2);
    }
    return lines.join(QLatin1Char('\n'));
}

void MessagesPane::copyAll() const
{
    QApplication::clipboard()->setText(text());
}
