#pragma once
// The simulator's end of the line: a pseudo-terminal whose slave side the
// program opens as its serial port, optionally reached through a symbolic
// link, and optionally listed in the port registry the way a USB-serial
// adapter appears in the system's port list.
#include <QString>

class SimPort
{
public:
    // The description a registered simulator shows in the program's port list.
    static constexpr const char *RegistryDescription = "VANT USB Serial (simulator)";

    SimPort() = default;
    SimPort(const SimPort &) = delete;
    SimPort &operator=(const SimPort &) = delete;
    ~SimPort() { close(); }

    // Creates the pseudo-terminal in raw mode and keeps a slave descriptor open
    // itself, so the master never sees a hang-up while the program has the port
    // closed between commands. The master descriptor is non-blocking.
    bool open(QString *error);
    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

    // Makes path a symbolic link to the slave; a symbolic link already there is
    // replaced, anything else is left alone and refused.
    bool makeLink(const QString &path, QString *error);
    // Writes <pid>.port into the registry folder (created 0700 when missing).
    bool registerPort(const QString &portPath, QString *error);

    // Closes both sides (the program sees the adapter vanish) and removes the
    // link and the registry entry. Safe to call more than once.
    void close();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_registryFile;
};
