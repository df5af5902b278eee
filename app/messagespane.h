#pragma once
// The "Messages" pane: the diagnostics of the last load of a description or values and of
// the last device command, with their severity and, where known, file and line, so a desktop
// user sees what the program printed on standard output. Its lines can be copied.
#include "format/diag.h"

#include <QDockWidget>
#include <QList>

class QTreeWidget;

class MessagesPane : public QDockWidget
{
    Q_OBJECT
public:
    explicit MessagesPane(QWidget *parent = nullptr);

    void setMessages(const QList<Diagnostic> &messages);
    // All lines as text, one per message: "severity<TAB>location<TAB>text".
    QString text() const;

public slots:
    void copyAll() const;

private:
    QTreeWidget *list;
};
