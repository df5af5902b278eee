#include "format/confformat.h"

#include <cmath>

ConfFormat::ConfFormat(const QString &id)
    : id(id)
{
}

ConfFormat::~ConfFormat() = default;

const ConfVar *ConfFormat::varByName(const QString &name) const
{
    const auto it = vars.find(name);
    return it == vars.end() ? nullptr : &it->second;
}

ConfVar *ConfFormat::varById(int id)
{
    if (indexedVars != vars.size()) {
        idIndex.clear();
        // Name order decides which variable an id stands for when several share an offset.
        for (auto &entry : vars) {
            if (entry.second.kind != KindStruct && !idIndex.contains(entry.second.offset))
                idIndex.insert(entry.second.offset, &entry.second);
        }
        indexedVars = vars.size();
    }
    return idIndex.value(id, nullptr);
}

const ConfVar *ConfFormat::varById(int id) const
{
    return const_cast<ConfFormat *>(this)->varById(id);
}

qint32 ConfFormat::intValue(const QString &name) const
{
    const ConfVar *v = varByName(name);
    if (!v)
        return 0;
    switch (v->kind) {
    case KindInt:
    case KindTime:
    case KindIp:
        return v->value;
    case KindFloat: {
        // Truncation toward zero; values outside the int range saturate instead of being undefined.
        const double t = std::trunc(double(v->floatValue));
        if (std::isnan(t))
            return 0;
        if (t >= 2147483647.0)
            return INT_MAX;
        if (t <= -2147483648.0)
            return INT_MIN;
        return qint32(t);
    }
    case KindString:
        return qint32(v->text.size());
    case KindFile:
        return v->fileLength;
    case KindStruct:
        return 0;
    }
    return 0;
}

int ConfFormat::idOf(const QString &name) const
{
    const ConfVar *v = varByName(name);
    return v ? v->offset : -1;
}

QString ConfFormat::nameOf(int id) const
{
    const ConfVar *v = varById(id);
    return v ? v->name : QString();
}
