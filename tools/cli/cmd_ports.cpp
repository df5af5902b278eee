// ports: the serial ports a --link can name, as the window's link settings list them, for the
// user choosing a link and for the shell's completion of --link.
#include "tools/cli/cli.h"

#include "device/portlist.h"

#include <QTextStream>

namespace {

int runPorts(const cli::Arguments &args)
{
    if (!args.positional.isEmpty())
        return cli::usage("ports");
    QTextStream out(stdout);
    for (const QString &entry : comListPorts()) {
        // The name ends at the first blank; a port the system cannot describe has no blank.
        const qsizetype blank = entry.indexOf(QLatin1Char(' '));
        out << (blank < 0 ? entry : entry.left(blank) + QLatin1Char('\t') + entry.mid(blank + 1)) << '\n';
    }
    return cli::ExitOk;
}

const cli::Registrar portsCommand({"ports", "ports",
                                   "list the serial ports a --link can name: name, tab, description", runPorts});

} // namespace
