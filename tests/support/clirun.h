#pragma once
// Runs the real vant-conf-cli (its path comes from VANT_CLI, which ctest sets) and keeps what
// it said. The wait runs the event loop, so a server living in the test process goes on
// answering the tool.
#include <QProcess>
#include <QSignalSpy>
#include <QtGlobal>

#include <functional>

struct CliRun {
    int exitCode = -1; // -1 when the tool did not end normally within a minute
    QByteArray out;
    QByteArray err;
};

// The environment of a tool that keeps its data (the backups of a device before a write) in
// dataHome rather than in the user's own folder.
inline QProcessEnvironment withDataHome(const QString &dataHome,
                                        QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    return env;
}

// childSetup runs in the child before the tool starts (resource limits, another user).
inline CliRun runCli(const QStringList &args, const QString &workDir = QString(),
                     const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                     const std::function<void()> &childSetup = {})
{
    const QString program = QString::fromLocal8Bit(qgetenv("VANT_CLI"));
    if (program.isEmpty())
        qFatal("VANT_CLI is not set; run this test through ctest");
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.setProcessEnvironment(env);
    if (childSetup)
        p.setChildProcessModifier(childSetup);
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(program, args);
    CliRun run;
    if (!finished.wait(60000) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = p.exitCode();
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}
