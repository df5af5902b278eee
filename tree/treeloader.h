#pragma once
// Turns a description's Tree element into a tree of rows. The macro table is its only
// state; the property tree widget inherits it, so macros outlive single descriptions.
#include "format/xmlsource.h"
#include "tree/confrow.h"

#include <QDomElement>
#include <QMap>
#include <QSet>
#include <QString>
#include <memory>

class ConfFormat;

class TreeLoader
{
public:
    virtual ~TreeLoader() = default;

    // A new group row with the rows of the element's subtree; null after a diagnostic
    // line when the element or anything below it is in error.
    std::unique_ptr<ConfRow> loadGroup(XmlElement &element, ConfFormat *format);
    std::unique_ptr<ConfRow> loadGroup(const QDomElement &element, ConfFormat *format);

    QMap<QString, QString> macros; // macro name -> macro text, never emptied
    // The names of the macros expanded so far, kept as long as the table; lint finds the
    // definitions nobody uses here.
    QSet<QString> usedMacros;

    // Bounds that keep a hostile or mistaken description (a macro that uses itself, groups
    // nested without end, a parameter that doubles at each use) from exhausting the stack
    // or memory. Real descriptions stay far below them.
    enum {
        MaxGroupNesting = 256,              // groups below the top row
        MaxMacroNesting = 64,               // macro uses inside macro-made groups
        MaxExpandedChars = 16 * 1024 * 1024, // all macro texts expanded for one tree
        MaxMarkupNesting = 256               // elements inside a description or macro body
    };
};
