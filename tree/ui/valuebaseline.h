#pragma once
// The values a user compares the current ones against, for one format: each variable's
// value in a flat table ordered by the variable's address. Installing a description takes
// one for thousands of variables; a map by name made up much of the install's
// time and memory, and a refresh asks it once per row.
#include "format/valueset.h"

#include <QStringList>
#include <utility>
#include <vector>

class ValueBaseline
{
public:
    // The format's current values. The format's variables must stay where they are for as
    // long as the baseline is asked about them: it is taken anew for every format.
    void take(const ConfFormat &format);
    // The format's variables with the value `values` names for them; the current value for
    // a variable it does not name.
    void take(const ConfFormat &format, const ValueSet &values);
    void clear() { entries.clear(); }

    // Null for a structure and for a variable of another format.
    const VarValue *valueOf(const ConfVar &var) const;
    // Compared as the device would store them (VarValue::sameAs); a variable without a
    // baseline value is not changed.
    bool isChanged(const ConfVar &var) const;
    // The variables whose value differs, by name in name order; their number.
    QStringList changedNames(const ConfFormat &format) const;
    int changedCount(const ConfFormat &format) const;
    // By name, as an undo step or another reading of the description takes values.
    ValueSet values(const ConfFormat &format) const;

private:
    std::vector<std::pair<const ConfVar *, VarValue>> entries; // by address
};
