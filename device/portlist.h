#pragma once
// The serial ports a user may choose from: the system's, then those announced in the port
// registry (see portlist.cpp).
#include <QString>
#include <QStringList>

// The serial ports, each entry the port name, one blank and the port's description as the
// system gives it, followed by the ports announced in the port registry; at most ComListMax
// entries. Prints "Dev %d name '%s'" for every port seen.
constexpr int ComListMax = 31;
QStringList comListPorts();

// The folder of the port registry: $VANT_PORT_REGISTRY, else $XDG_RUNTIME_DIR/vant-conf-ports,
// else /tmp/vant-conf-ports-<uid>. The simulator writes its entries there.
QString portRegistryDir();
// True when `dir` is a folder (not a symlink) owned by the effective user with no permissions
// for group or others; entries in any other folder are ignored.
bool portRegistryTrusted(const QString &dir);
