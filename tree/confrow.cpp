#include "tree/confrow.h"

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

