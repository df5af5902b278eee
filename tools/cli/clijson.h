#pragma once
// The --json forms of the commands: one JSON document on standard output, for scripts that
// would otherwise split the text form at tabs. Every value is the text the text form prints.
#include "format/valuediff.h"

#include <QJsonArray>
#include <QJsonObject>

class ConfFormat;

namespace cli {

// Prints the document, indented, as UTF-8 and ending with a line break.
void printJson(const QJsonObject &document);

// [{"name": ..., "value": ...}] for every variable (structures left out), in name order.
QJsonArray valuesJson(const ConfFormat &format);

// [{"name": ..., "a": ..., "b": ...}] in the order given.
QJsonArray differencesJson(const QList<ValueDifference> &differences);

} // namespace cli
