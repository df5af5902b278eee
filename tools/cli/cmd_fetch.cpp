// fetch: downloads one description into confxml/ of the working directory, the
// same way the configurator does when a description is missing.
#include "tools/cli/cli.h"

#include "download/descriptionserver.h"
#include "download/formatfetch.h"

#include <QEventLoop>

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

    FormatFetch fetch(id);
    if (haveServer && !fetch.setServer(server))
        return cli::usage("fetch", QStringLiteral("bad server '%1' (want HOST or HOST:PORT)").arg(server));

    if (!fetch.start())
        return cli::fail(QStringLiteral("description not fetched: %1").arg(fetch.errorText()));

    QEventLoop loop;
    bool stored = false;
    QObject::connect(&fetch, &FormatFetch::finished, &loop, [&](bool ok) {
        stored = ok;
        loop.quit();
    });
    loop.exec();
    if (!stored)
        return cli::fail(QStringLiteral("description not fetched: %1").arg(fetch.errorText()));
    return cli::ExitOk;
}

static cli::Registrar reg({"fetch", "fetch ID [--server HOST[:PORT]]",
                           "download the description of format ID into confxml/ID.xml (server: setting "
                           "Download/Server, default conf.vant-devices.ru)",
                           runFetch});
