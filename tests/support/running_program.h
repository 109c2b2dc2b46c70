#pragma once

#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>

// Starts the program offscreen with these NAME=value additions to the environment, lets it
// reach its message loop, then ends it with the signal as a desktop session would.
// The exit code, or -1 not started, -2 not ended, -3 crashed.
inline int runAndEnd(const QString &program, const QStringList &arguments,
                     const QStringList &environment = {}, int signal = SIGTERM)
{
    QProcess process;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString &each : environment)
        variables.insert(each.section(QLatin1Char('='), 0, 0), each.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(variables);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return -1;
    // Long enough for the first activation; the close is the same whenever it comes.
    QTest::qWait(1500);
    ::kill(pid_t(process.processId()), signal);
    if (!process.waitForFinished(15000)) {
        process.kill();
        return -2;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -3;
}
