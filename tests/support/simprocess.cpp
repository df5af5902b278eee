#include "tests/support/simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

QString SimProcess::start(const QStringList &args, const QProcessEnvironment &environment)
{
    QString program = QString::fromLocal8Bit(qgetenv("VANT_DEVSIM"));
    // A benchmark run by hand finds the simulator beside it, in the build's bin/.
    if (program.isEmpty())
        program = QCoreApplication::applicationDirPath() + QLatin1String("/vant-devsim");
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setProcessEnvironment(environment);
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

int SimProcess::stop()
{
    if (process.state() == QProcess::NotRunning)
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
