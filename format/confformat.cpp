#include "format/confformat.h"

#include <cmath>

ConfFormat::ConfFormat(const QString &id)
    : m_id(id)
{
}

ConfFormat::~ConfFormat() = default;

ConfVar *ConfFormat::varByName(const QString &name)
{
    const auto it = m_vars.find(name);
    return it == m_vars.end() ? nullptr : &it->second;
}

const ConfVar *ConfFormat::varByName(const QString &name) const
{
    return const_cast<ConfFormat *>(this)->varByName(name);
}

ConfVar *ConfFormat::varById(int id)
{
    if (m_indexedVars != m_vars.size()) {
        m_idIndex.clear();
        // Name order decides which variable an id stands for when several share an offset.
        for (auto &entry : m_vars) {
            if (entry.second.kind != KindStruct && !m_idIndex.contains(entry.second.offset))
                m_idIndex.insert(entry.second.offset, &entry.second);
        }
        m_indexedVars = m_vars.size();
    }
    return m_idIndex.value(id, nullptr);
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
