#pragma once

#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>

// Whether the program waits in an event loop with SIGTERM caught: a close signal sent now takes
// the ordinary way, after the first activation that the window's showing queued. A loaded
// machine may take seconds to get there; no fixed pause is long enough.
inline bool waitsForEvents(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    QFile waitingIn(QStringLiteral("/proc/%1/wchan").arg(pid));
    if (!status.open(QIODevice::ReadOnly) || !waitingIn.open(QIODevice::ReadOnly))
        return false;
    bool caught = false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            caught = line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << (SIGTERM - 1));
    }
    return caught && waitingIn.readAll().contains("poll");
}

// Waits until the program is ready for a close signal; false when it never gets there.
inline bool waitUntilWaitingForEvents(const QProcess &process)
{
    return QTest::qWaitFor([&process] { return waitsForEvents(process.processId()); }, 20000);
}

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
    if (!process.waitForStarted(5000) || !waitUntilWaitingForEvents(process))
        return -1;
    ::kill(pid_t(process.processId()), signal);
    if (!process.waitForFinished(15000)) {
        process.kill();
        return -2;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -3;
}
