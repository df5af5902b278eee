#include "format/valueset.h"

#include <cstring>

VarValue VarValue::of(const ConfVar &var)
{
    VarValue v;
    v.value = var.value;
    v.floatValue = var.floatValue;
    v.text = var.text;
    v.fileData = var.fileData;
    v.fileLength = var.fileLength;
    return v;
}

void VarValue::applyTo(ConfVar &var) const
{
    var.value = value;
    var.floatValue = floatValue;
    var.text = text;
    var.fileData = fileData;
    var.fileLength = fileLength;
}

bool VarValue::sameAs(const VarValue &other, VarKind kind) const
{
    switch (kind) {
    case KindInt:
    case KindTime:
    case KindIp:
        return value == other.value;
    case KindFloat:
        return std::memcmp(&floatValue, &other.floatValue, sizeof floatValue) == 0;
    case KindString:
        return text == other.text;
    case KindFile:
        return fileLength == other.fileLength && fileData.left(fileLength) == other.fileData.left(other.fileLength);
    case KindStruct:
        return true;
    }
    return true;
}

ValueSet valuesOf(const ConfFormat &format)
{
    ValueSet values;
    for (const auto &[name, var] : format.vars()) {
        if (var.kind != KindStruct)
            values.emplace_hint(values.end(), name, VarValue::of(var));
    }
    return values;
}

ValueSet valuesOf(const ConfFormat &format, const QStringList &names)
{
    ValueSet values;
    for (const QString &name : names) {
        if (const ConfVar *var = format.varByName(name); var && var->kind != KindStruct)
            values[name] = VarValue::of(*var);
    }
    return values;
}

void applyValues(ConfFormat &format, const ValueSet &values)
{
    for (const auto &[name, value] : values) {
        if (ConfVar *var = format.varByName(name); var && var->kind != KindStruct)
            value.applyTo(*var);
    }
}

bool isChanged(const ConfVar &var, const ValueSet &baseline)
{
    if (var.kind == KindStruct)
        return false;
    const auto it = baseline.find(var.name);
    return it != baseline.end() && !it->second.sameAs(VarValue::of(var), var.kind);
}

QStringList changedNames(const ConfFormat &format, const ValueSet &baseline)
{
    QStringList names;
    for (const auto &[name, var] : format.vars()) {
        if (isChanged(var, baseline))
            names << name;
    }
    return names;
}
