#include "tree/ui/valuebaseline.h"

#include <algorithm>

namespace {

bool byAddress(const std::pair<const ConfVar *, VarValue> &entry, const ConfVar *var)
{
    return entry.first < var;
}

} // namespace

void ValueBaseline::take(const ConfFormat &format)
{
    take(format, ValueSet());
}

void ValueBaseline::take(const ConfFormat &format, const ValueSet &values)
{
    entries.clear();
    entries.reserve(format.vars().size());
    auto given = values.begin();
    for (const auto &[name, var] : format.vars()) {
        if (var.kind == KindStruct)
            continue;
        // Both are in name order: one pass over each.
        while (given != values.end() && given->first < name)
            ++given;
        if (given != values.end() && given->first == name)
            entries.emplace_back(&var, given->second);
        else
            entries.emplace_back(&var, VarValue::of(var));
    }
    // Map nodes are mostly allocated in name order, so this is close to sorted already.
    if (!std::is_sorted(entries.begin(), entries.end(),
                        [](const auto &a, const auto &b) { return a.first < b.first; }))
        std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
}

const VarValue *ValueBaseline::valueOf(const ConfVar &var) const
{
    const auto it = std::lower_bound(entries.begin(), entries.end(), &var, byAddress);
    return it != entries.end() && it->first == &var ? &it->second : nullptr;
}

bool ValueBaseline::isChanged(const ConfVar &var) const
{
    if (var.kind == KindStruct)
        return false;
    const VarValue *value = valueOf(var);
    return value && !value->sameAs(VarValue::of(var), var.kind);
}

QStringList ValueBaseline::changedNames(const ConfFormat &format) const
{
    QStringList names;
    for (const auto &[name, var] : format.vars()) {
        if (isChanged(var))
            names << name;
    }
    return names;
}

int ValueBaseline::changedCount(const ConfFormat &format) const
{
    int count = 0;
    for (const auto &entry : format.vars())
        count += isChanged(entry.second) ? 1 : 0;
    return count;
}

ValueSet ValueBaseline::values(const ConfFormat &format) const
{
    ValueSet set;
    for (const auto &[name, var] : format.vars()) {
        if (const VarValue *value = valueOf(var))
            set.emplace_hint(set.end(), name, *value);
    }
    return set;
}
