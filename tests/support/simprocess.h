#pragma once
// Runs the device simulator (vant-devsim, found through $VANT_DEVSIM, else beside the running
// program) for a test: it prints the port path on its first line, then serves commands until it
// is told to stop.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class SimProcess
{
public:
    ~SimProcess() { stop(); }

    // Starts the simulator and returns the port path it prints; empty when it did not start.
    QString start(const QStringList &args,
                  const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

    bool running() { return process.state() == QProcess::Running; }

    // Ends the simulator the way the user would (SIGTERM) and returns its exit code; -1 when it
    // crashed or had to be killed.
    int stop();

    bool waitForExit(int ms) { return process.state() == QProcess::NotRunning || process.waitForFinished(ms); }
    QByteArray errors() { return process.readAllStandardError(); }

    QProcess process;
    QString port;
};
