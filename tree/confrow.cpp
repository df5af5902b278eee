#include "tree/confrow.h"

namespace {

// Texts built by appending (a description's paragraphs) carry the spare capacity of their
// growth, often more than the text; a row keeps its texts for as long as it is shown.
void keepTight(QString &text)
{
    if (text.capacity() > text.size())
        text.squeeze();
}

} // namespace

ConfRow::ConfRow(const QString &label, int varId)
    : id(varId), text(label)
{
    keepTight(text);
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

void ConfRow::setVarName(const QString &name)
{
    var = name;
    keepTight(var);
}

void ConfRow::setDesc(const QString &desc)
{
    html = desc;
    keepTight(html);
}

void ConfRow::appendDesc(const QString &paragraph)
{
    // Groups, which alone have several paragraphs, are few: their growth is left as it is.
    html += paragraph;
}

void ConfRow::setConditions(std::unique_ptr<LogicExpr> enabled, std::unique_ptr<LogicExpr> visible)
{
    if (!enabled && !visible) {
        conditions.reset();
        return;
    }
    if (!conditions)
        conditions = std::make_unique<Conditions>();
    conditions->enabled = std::move(enabled);
    conditions->visible = std::move(visible);
}

void ConfRow::addChild(std::unique_ptr<ConfRow> row)
{
    if (!children)
        children = std::make_unique<std::vector<std::unique_ptr<ConfRow>>>();
    children->push_back(std::move(row));
}

