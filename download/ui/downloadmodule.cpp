// The entry point of the download module (vant-conf-download.so), which the window loads the
// first time a description is missing: the dialog and the transfer, and with them the network
// library and what it pulls in.
#include "download/ui/descriptiondownload.h"
#include "download/ui/formatdl.h"
#include "format/diag.h"

extern "C" Q_DECL_EXPORT const DownloadModule *vant_conf_download_module()
{
    // Taken here, where the dynamic linker has bound diagReport: to the program's own when
    // the program shares its symbols, to the copy in this module when it does not.
    static const DownloadModule module{DownloadModuleAbi, reinterpret_cast<const void *>(&diagReport),
                                       runFormatDownload};
    return &module;
}
