#include "format/valuediff.h"

#include "format/valuefile.h"

#include <cmath>

namespace {

bool sameValue(const ConfVar &first, const ConfVar &second)
{
    if (first.kind == KindFloat) {
        const float a = first.floatValue;
        const float b = second.floatValue;
        return a == b || (std::isnan(a) && std::isnan(b));
    }
    return valueFileText(first) == valueFileText(second);
}

} // namespace

QList<ValueDifference> valueDifferences(const ConfFormat &format, const ValueSet &first, const ValueSet &second)
{
    QList<ValueDifference> differences;
    for (const auto &[name, var] : format.vars()) {
        if (var.kind == KindStruct)
            continue;
        const auto a = first.find(name);
        const auto b = second.find(name);
        if (a == first.end() || b == second.end())
            continue;
        ConfVar left = var;
        ConfVar right = var;
        a->second.applyTo(left);
        b->second.applyTo(right);
        if (sameValue(left, right))
            continue;
        QString leftText = format.varText(&left);
        QString rightText = format.varText(&right);
        if (leftText == rightText) {
            leftText = valueFileText(left);
            rightText = valueFileText(right);
        }
        differences.append({name, leftText, rightText});
    }
    return differences;
}
