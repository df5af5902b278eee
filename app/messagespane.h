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

    // Makes the list before the pane shows.
    void setVisible(bool visible) override;

public slots:
    void copyAll() const;

private:
    // Most sessions never open the pane, and a second tree view is a noticeable share of the
    // window's start: the list is made the first time the pane shows or is given messages.
    QTreeWidget *messageList();

    QTreeWidget *list = nullptr;
};
