#pragma once
// The two-column property tree: group titles and variable labels with their value texts.
// It owns the loaded format, so the commands find the current format and its id here.
#include "tree/treeloader.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QTreeWidget>
#include <memory>

class ConfFormat;
class ConfRow;
class QMyTreeWidgetItem;

class ConfTree : public QTreeWidget, public TreeLoader
{
    Q_OBJECT
public:
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
    // A value file: first the description its root names, then its values.
    bool openConfFile(const QString &fileName);

    ConfFormat *format = nullptr; // owned; null until a description has been installed
    QString formatId;

signals:
    void showDesc(QString desc);

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

private:
    void applyExpansion(QTreeWidgetItem *item);
    // Evaluates again the row's conditions that mention var (every one for a null name).
    void refreshConditions(QMyTreeWidgetItem *row, const QString &var);

    std::unique_ptr<ConfRow> rows; // the model the rendered rows point at
    // The rendered rows whose conditions mention each variable, so that an edit asks those
    // rows alone instead of walking a tree of thousands.
    QHash<QString, QList<QMyTreeWidgetItem *>> rowsByVariable;
};
