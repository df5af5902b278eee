// Compiled into each program that links the download dialog in (vantdownloadlinked): a tree
// there fetches a missing description with it at once, without a module to load.
#include "download/ui/descriptiondownload.h"
#include "download/ui/formatdl.h"

#include <QCoreApplication>

namespace {

void useLinkedDownload()
{
    setDescriptionDownload(runFormatDownload);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(useLinkedDownload)
