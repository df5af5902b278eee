#include "tools/cli/clijson.h"

#include "format/confformat.h"

#include <QJsonDocument>

#include <cstdio>

namespace cli {

void printJson(const QJsonObject &document)
{
    const QByteArray bytes = QJsonDocument(document).toJson(QJsonDocument::Indented);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QJsonArray valuesJson(const ConfFormat &format)
{
    QJsonArray values;
    for (const auto &entry : format.vars()) {
        if (entry.second.kind != KindStruct)
            values.append(QJsonObject{{QStringLiteral("name"), entry.first},
                                      {QStringLiteral("value"), format.varText(&entry.second)}});
    }
    return values;
}

QJsonArray differencesJson(const QList<ValueDifference> &differences)
{
    QJsonArray list;
    for (const ValueDifference &d : differences)
        list.append(QJsonObject{{QStringLiteral("name"), d.name}, {QStringLiteral("a"), d.first},
                                {QStringLiteral("b"), d.second}});
    return list;
}

} // namespace cli
