#pragma once
// The presentation tree of a description for the commands of vant-conf-cli.
#include "tools/cli/clicommon.h"

#include <QString>
#include <memory>

class ConfRow;

namespace cli {

// All rows of the subtree, the row itself included, and their compiled conditions.
struct TreeCounts {
    int rows = 0;
    int conditions = 0;
};
TreeCounts countRows(const ConfRow *top);

} // namespace cli
