#pragma once
// Turns a description's Tree element into a detached tree of rows. The macro table is its
// only state; the property tree widget inherits it, so macros outlive single descriptions.
#include <QDomElement>
#include <QMap>
#include <QString>

class ConfFormat;
class QMyTreeWidgetItem;

class TreeLoader
{
public:
    virtual ~TreeLoader() = default;

    // A new group row with the rows of the element's subtree, owned by the caller;
    // null after a diagnostic line when the element or anything below it is in error.
    QMyTreeWidgetItem *loadGroup(const QDomElement &element, ConfFormat *format);

    QMap<QString, QString> macros; // macro name -> macro text, never emptied
};
