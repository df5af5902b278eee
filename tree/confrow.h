#pragma once
// One row of a description's presentation tree: a group with the rows below it, or the row
// of one variable. The loader builds them, the property tree widget and vant-conf-cli show
// them; both ask the row, not its conditions, whether it is enabled or shown, so a row is
// greyed or hidden by the same rule everywhere.
//
// A large description has tens of thousands of rows, held for as long as it is shown: a row
// keeps its texts without spare capacity, and what only some rows have (conditions, rows
// below) apart.
#include "expr/logicexpr.h"

#include <QString>
#include <memory>
#include <vector>

class ConfFormat;

class ConfRow
{
public:
    // A group row, and the row of the variable with that id.
    static std::unique_ptr<ConfRow> group(const QString &label);
    static std::unique_ptr<ConfRow> variable(const QString &label, int varId);
    ~ConfRow();

    ConfRow(const ConfRow &) = delete;
    ConfRow &operator=(const ConfRow &) = delete;

    bool isGroup() const { return id < 0; }
    // The variable's id; -1 for a group.
    int varId() const { return id; }
    const QString &label() const { return text; }
    // A variable row's `var` as the description writes it. A row naming a structure shows the
    // structure's first member, so the id alone cannot tell what the description meant.
    const QString &varName() const { return var; }
    void setVarName(const QString &name);

    // Where the description declares the row: its element, or the element that used the
    // macro that made it; 0 when unknown. Lint reports what it finds about the row there.
    int sourceLine() const { return line; }
    int sourceColumn() const { return column; }
    void setSource(int sourceLine, int sourceColumn)
    {
        line = sourceLine;
        column = sourceColumn;
    }

    // HTML for the description pane: a group's Desc paragraphs, a variable's own paragraph.
    const QString &desc() const { return html; }
    void setDesc(const QString &desc);
    void appendDesc(const QString &paragraph);

    // A row outside a tree widget cannot be expanded, so the loader records the wish and
    // the widget applies it once the rows are on screen.
    bool startExpanded() const { return expand; }
    void setStartExpanded(bool expanded) { expand = expanded; }

    // The compiled conditions; null where the row has none (or its text did not compile).
    const LogicExpr *enabledCondition() const { return conditions ? conditions->enabled.get() : nullptr; }
    const LogicExpr *visibleCondition() const { return conditions ? conditions->visible.get() : nullptr; }
    void setConditions(std::unique_ptr<LogicExpr> enabled, std::unique_ptr<LogicExpr> visible);

    // The row's own conditions over the format's current values; a row without a
    // condition is enabled and shown. Whether a group above greys or hides the row as
    // well is the front end's business: the widget's view does it, the CLI's listing does not.
    // Inline: an edit asks every row of a large tree, and most rows have no condition.
    bool isEnabled(const ConfFormat *format) const
    {
        const LogicExpr *condition = enabledCondition();
        return !condition || condition->evaluate(format);
    }
    bool isVisible(const ConfFormat *format) const
    {
        const LogicExpr *condition = visibleCondition();
        return !condition || condition->evaluate(format);
    }

    // Whether the row's enabled (visible) condition has to be evaluated again after the
    // variable of that name changed. A null name stands for every change, so every
    // condition; names match as written, letter case included.
    bool enabledDependsOn(const QString &var) const { return dependsOn(enabledCondition(), var); }
    bool visibleDependsOn(const QString &var) const { return dependsOn(visibleCondition(), var); }

    int childCount() const { return children ? int(children->size()) : 0; }
    const ConfRow *child(int index) const { return (*children)[size_t(index)].get(); }
    void addChild(std::unique_ptr<ConfRow> row);

private:
    ConfRow(const QString &label, int varId);
    static bool dependsOn(const LogicExpr *condition, const QString &var)
    {
        return condition && (var.isNull() || condition->variables().contains(var));
    }

    struct Conditions {
        std::unique_ptr<LogicExpr> enabled;
        std::unique_ptr<LogicExpr> visible;
    };

    int id;
    int line = 0;
    int column = 0;
    bool expand = false;
    QString text;
    QString var;
    QString html;
    std::unique_ptr<Conditions> conditions; // null when the row has none
    std::unique_ptr<std::vector<std::unique_ptr<ConfRow>>> children; // null for a row without any
};
