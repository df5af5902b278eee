// A menu as the user reads it, one line per entry: its text and shortcut ("&Open|Ctrl+O"), or
// "-" for a separator. Shared by the window's tests and the start-up bench's outline.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QStringList>

inline QStringList menuEntries(const QMenu *menu)
{
    QStringList items;
    const auto actions = menu->actions();
    for (const QAction *a : actions)
        items << (a->isSeparator() ? QStringLiteral("-")
                                   : a->text() + QLatin1Char('|')
                                         + a->shortcut().toString(QKeySequence::PortableText));
    return items;
}
