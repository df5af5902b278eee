#include "download/ui/descriptiondownload.h"

#include "format/diag.h"

namespace {

DescriptionDownload &current()
{
    static DescriptionDownload download;
    return download;
}

} // namespace

void setDescriptionDownload(DescriptionDownload download)
{
    current() = std::move(download);
}

bool downloadDescription(const QString &id, QWidget *parent)
{
    if (!current()) {
        diagErr("No description download in this program: %s not fetched\n", qPrintable(id));
        return false;
    }
    return current()(id, parent);
}
