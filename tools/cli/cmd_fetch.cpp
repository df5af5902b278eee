// fetch: downloads one description into confxml/ of the working directory, the
// same way the configurator does when a description is missing.
#include "tools/cli/cli.h"

#include "download/descriptionserver.h"
#include "tools/cli/clicommon.h"

static int runFetch(const QStringList &args)
{
    QString id;
    QString server;
    bool haveId = false;
    bool haveServer = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--server")) {
            if (haveServer || i + 1 >= args.size())
                return cli::usage("fetch", QStringLiteral("--server needs one HOST[:PORT]"));
            server = args.at(++i);
            haveServer = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return cli::usage("fetch", QStringLiteral("unknown option '%1'").arg(a));
        } else if (!haveId) {
            id = a;
            haveId = true;
        } else {
            return cli::usage("fetch", QStringLiteral("one ID only"));
        }
    }
    if (!haveId)
        return cli::usage("fetch", QStringLiteral("missing ID"));

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
                           runFetch});
