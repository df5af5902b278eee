#pragma once
#include <QString>

// The maker's description server is reached over plain HTTP. Where it lives is a
// per-user setting, so a site with its own mirror (or a test) can point elsewhere.
inline constexpr char DescriptionServerKey[] = "Download/Server";
inline constexpr char DefaultDescriptionServer[] = "conf.vant-devices.ru";
inline constexpr quint16 DefaultHttpPort = 80;

// The value of "Download/Server" in the settings of "VANT"/"Device-Configurator",
// or the default host when the key is absent or blank. Not checked here.
QString descriptionServer();

// Splits "host" or "host:port" (an IPv6 address in brackets: "[::1]:8080").
// The port is 80 when none is given and must be 1..65535 otherwise; blanks
// around the text are ignored. Returns false, leaving the outputs alone, for
// anything else (an empty host, a scheme or path, a bad port).
bool parseServerAddress(const QString &text, QString *host, quint16 *port);
