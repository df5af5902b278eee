#pragma once
// The presentation tree of a description for the commands of vant-conf-cli.
#include "tools/cli/clicommon.h"

#include <QString>
#include <memory>

class QMyTreeWidgetItem;
class TreeLoader;

namespace cli {

// Builds the rows of the first Tree element after the description's Format element, with
// the loader's macro table. Null after the system's diagnostic lines, with one line in *error.
std::unique_ptr<QMyTreeWidgetItem> loadDescriptionTree(const Description &description, TreeLoader *loader,
                                                       QString *error);

// All rows of the subtree, the row itself included, and their compiled conditions.
struct TreeCounts {
    int rows = 0;
    int conditions = 0;
};
TreeCounts countRows(const QMyTreeWidgetItem *top);

} // namespace cli
