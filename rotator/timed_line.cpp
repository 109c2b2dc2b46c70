#include "rotator/timed_line.h"

#include <chrono>
#include <exception>
#include <thread>

#include <QScopedValueRollback>

TimedLine::TimedLine(QObject *parent) : QObject(parent)
{
    resting.setSingleShot(true);
    resting.setTimerType(Qt::PreciseTimer);
    connect(&resting, &QTimer::timeout, this, [this] {
        // A coarse timer may fire early: the monotonic clock says when the pause is over.
        if (const qint64 left = restMs - restClock.elapsed(); left > 0) {
            resting.start(int(left));
            return;
        }
        run();
        if (!busy())
            emit idle();
    });
}

void TimedLine::send(QList<Step> commandSteps, Done done)
{
    if (commandSteps.isEmpty()) {
        if (done)
            done(LineOutcome::Written, {});
        return;
    }
    const bool rested = !busy();
    for (qsizetype i = 0; i < commandSteps.size(); ++i) {
        const bool last = i == commandSteps.size() - 1;
        steps.append({std::move(commandSteps[i]), last ? done : Done(), last});
    }
    if (!rested || running)
        return;
    // The first write's failure belongs to the caller, who learns it at once.
    if (carryOut(steps.takeFirst(), true))
        run();
}

void TimedLine::run()
{
    const QScopedValueRollback<bool> guard(running, true);
    while (!steps.isEmpty() && !resting.isActive()) {
        if (!carryOut(steps.takeFirst(), false))
            return;
    }
}

bool TimedLine::carryOut(Queued queued, bool throwFailure)
{
    try {
        queued.step.write();
    } catch (const std::exception &error) {
        const QString text = QString::fromUtf8(error.what());
        // The line is gone: nothing behind the failed write goes out either.
        QList<Queued> dropped = std::exchange(steps, {});
        if (throwFailure) {
            while (!dropped.isEmpty() && !dropped.first().last)
                dropped.removeFirst();
            if (!dropped.isEmpty())
                dropped.removeFirst();
        } else {
            dropped.prepend(std::move(queued));
        }
        bool told = false;
        for (const Queued &each : std::as_const(dropped)) {
            if (each.done) {
                each.done(LineOutcome::Failed, text);
                told = true;
            }
        }
        if (throwFailure)
            throw;
        if (!told)
            emit failed(text);
        return false;
    }
    // The line rests before the command's owner hears of it, so that nothing goes out in the pause.
    if (queued.step.pauseAfter > 0)
        rest(queued.step.pauseAfter);
    if (queued.last && queued.done)
        queued.done(LineOutcome::Written, {});
    return true;
}

void TimedLine::rest(int ms)
{
    restMs = ms;
    restClock.start();
    resting.start(ms);
}

void TimedLine::cancel()
{
    resting.stop();
    const QList<Queued> dropped = std::exchange(steps, {});
    for (const Queued &each : dropped) {
        if (each.done)
            each.done(LineOutcome::Cancelled, {});
    }
}

void TimedLine::settle()
{
    if (!busy())
        return;
    while (busy()) {
        if (resting.isActive()) {
            const qint64 left = restMs - restClock.elapsed();
            resting.stop();
            if (left > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(left));
        }
        run();
    }
    // What waited for the line may go now.
    emit idle();
}
