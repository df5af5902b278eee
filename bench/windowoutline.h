// What a main window shows at first, as lines of text: each menu with its entries and
// shortcuts, the tool bars with their widgets, the docks, the status bar's widgets, the tree's
// columns and the text of the pane below it. The
// start-up bench compares the configurator's outline with its yardstick's, so that the yardstick
// cannot fall behind the window it stands for.
#pragma once

#include "tests/support/menuentries.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStringList>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>

// A widget's class and the text it shows.
inline QString widgetOutline(const QWidget *widget)
{
    QString line = QString::fromLatin1(widget->metaObject()->className());
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        line += QLatin1Char(' ') + label->text();
    else if (const auto *field = qobject_cast<const QLineEdit *>(widget))
        line += QLatin1Char(' ') + field->placeholderText();
    return line;
}

inline QStringList windowOutline(const QMainWindow &window)
{
    QStringList lines;
    for (QAction *bar : window.menuBar()->actions()) {
        lines << QStringLiteral("menu ") + bar->text();
        for (const QString &entry : menuEntries(bar->menu()))
            lines << QStringLiteral("  ") + entry;
    }
    for (const QToolBar *bar : window.findChildren<QToolBar *>()) {
        lines << QStringLiteral("tool bar ") + bar->windowTitle();
        for (QAction *item : bar->actions())
            lines << QStringLiteral("  ") + widgetOutline(bar->widgetForAction(item));
    }
    for (const QDockWidget *dock : window.findChildren<QDockWidget *>())
        lines << QStringLiteral("dock ") + dock->windowTitle()
                     + (dock->isHidden() ? QStringLiteral(" hidden") : QString());
    for (const QWidget *widget : window.statusBar()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        lines << QStringLiteral("status ") + widgetOutline(widget);
    for (const QTreeWidget *tree : window.centralWidget()->findChildren<QTreeWidget *>(Qt::FindDirectChildrenOnly)) {
        const QTreeWidgetItem *header = tree->headerItem();
        for (int column = 0; column < header->columnCount(); ++column)
            lines << QStringLiteral("column ") + header->text(column);
    }
    for (const QTextBrowser *pane : window.centralWidget()->findChildren<QTextBrowser *>(Qt::FindDirectChildrenOnly))
        lines << QStringLiteral("pane ") + pane->toPlainText();
    return lines;
}
