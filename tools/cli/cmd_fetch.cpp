// fetch: downloads one description into confxml/ of the working directory, the
// same way the configurator does when a description is missing.
#include "tools/cli/cli.h"

#include "download/descriptionserver.h"
#include "format/formatid.h"
#include "tools/cli/clicommon.h"

static int runFetch(const cli::Arguments &args)
{
    if (args.positional.isEmpty())
        return cli::usage("fetch", QStringLiteral("missing ID"));
    if (args.positional.size() > 1)
        return cli::usage("fetch", QStringLiteral("one ID only"));
    const QString id = args.positional.first();
    // Asked for by name, a description goes where the user is, into confxml/ of the working
    // directory (made when missing), not into the work folder the device commands fall back on.
    setDescriptionFolderLookup(nullptr);
    const QString server = args.server;
    const bool haveServer = args.hasServer;

    QString host;
    quint16 port = 0;
    if (haveServer && !parseServerAddress(server, &host, &port))
        return cli::usage("fetch", QStringLiteral("bad server '%1' (want HOST or HOST:PORT)").arg(server));

    QString error;
    if (!cli::fetchDescription(id, server, &error))
        return cli::fail(error);
    return cli::ExitOk;
}

static cli::Registrar reg({"fetch", "fetch ID [--server HOST[:PORT]]",
                           "download the description of format ID into confxml/ID.xml (server: setting "
                           "Download/Server, default conf.vant-devices.ru)",
                           runFetch, cli::OptServer});
