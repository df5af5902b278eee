#pragma once
// Large descriptions for the benchmarks: many variable rows in groups of a hundred, with
// a chosen number of conditions that mention one variable (the one a benchmark edits) and
// others that mention other variables, so that a refresh has to look at conditions it
// then leaves alone.
#include <QString>

namespace bench {

struct DescriptionShape {
    QString id = QStringLiteral("BENCH-GEN");
    int variableRows = 10000;     // the edited variable's own row included
    int editedConditions = 1000;  // conditions that mention the edited variable
    int otherConditions = 1000;   // conditions that mention other variables only
    int rowsPerGroup = 100;
    bool expandGroups = true;     // every group row starts expanded
};

struct GeneratedDescription {
    QString id;
    QString xml;        // the whole description file
    QString editedVar;  // full name of the variable the edited conditions mention
    int variableRows = 0;
    int editedConditions = 0;
    int otherConditions = 0;
    int dataSize = 0;   // bytes in the data area
};

GeneratedDescription generateDescription(const DescriptionShape &shape = DescriptionShape());

} // namespace bench
