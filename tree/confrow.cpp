#include "tree/confrow.h"

#include "expr/logicexpr.h"

ConfRow::ConfRow(const QString &label, int varId)
    : id(varId), text(label)
{
}

ConfRow::~ConfRow() = default;

std::unique_ptr<ConfRow> ConfRow::group(const QString &label)
{
    return std::unique_ptr<ConfRow>(new ConfRow(label, -1));
}

std::unique_ptr<ConfRow> ConfRow::variable(const QString &label, int varId)
{
    return std::unique_ptr<ConfRow>(new ConfRow(label, varId));
}

void ConfRow::setConditions(std::unique_ptr<LogicExpr> enabled, std::unique_ptr<LogicExpr> visible)
{
    enabledExpr = std::move(enabled);
    visibleExpr = std::move(visible);
}

bool ConfRow::isEnabled(const ConfFormat *format) const
{
    return !enabledExpr || enabledExpr->evaluate(format);
}

bool ConfRow::isVisible(const ConfFormat *format) const
{
    return !visibleExpr || visibleExpr->evaluate(format);
}

bool ConfRow::dependsOn(const LogicExpr *condition, const QString &var)
{
    return condition && (var.isNull() || condition->variables().contains(var));
}
