// The entry point of the download module (vant-conf-download.so), which the window loads the
// first time a description is missing: the dialog and the transfer, and with them the network
// library and what it pulls in.
#include "download/ui/descriptiondownload.h"
#include "download/ui/formatdl.h"
#include "format/diag.h"

extern "C" Q_DECL_EXPORT const DownloadModule *vant_conf_download_module()
{
    // diagReport as the dynamic linker bound it here: the program's own, unless this module
    // was built with a copy of the diagnostics channel, which the program then refuses.
    static const DownloadModule module{DownloadModuleAbi, reinterpret_cast<const void *>(&diagReport),
                                       runFormatDownload};
    return &module;
}
