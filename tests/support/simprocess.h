#pragma once
// Runs the device simulator (vant-devsim, found through $VANT_DEVSIM) for a test: it prints the
// port path on its first line, then serves commands until it is told to stop.
#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess
{
public:
    ~SimProcess() { stop(); }

    // Starts the simulator and returns the port path it prints; empty when it did not start.
    QString start(const QStringList &args)
    {
        const QString program = QString::fromLocal8Bit(qgetenv("VANT_DEVSIM"));
        if (program.isEmpty())
            return {};
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program, args);
        if (!process.waitForStarted(5000))
            return {};
        QElapsedTimer timer;
        timer.start();
        while (!process.canReadLine() && timer.elapsed() < 5000) {
            if (!process.waitForReadyRead(100) && process.state() != QProcess::Running)
                return {};
        }
        port = QString::fromLocal8Bit(process.readLine()).trimmed();
        return port;
    }

    bool running() { return process.state() == QProcess::Running; }

    // Ends the simulator the way the user would (SIGTERM) and returns its exit code.
    int stop()
    {
        if (process.state() == QProcess::NotRunning)
            return process.exitCode();
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
        return process.exitCode();
    }

    bool waitForExit(int ms) { return process.state() == QProcess::NotRunning || process.waitForFinished(ms); }
    QByteArray errors() { return process.readAllStandardError(); }

    QProcess process;
    QString port;
};
