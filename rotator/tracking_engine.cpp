#include "rotator/tracking_engine.h"

#include <exception>
#include <QScopedValueRollback>

#include "app/settings.h"
#include "rotator/tracking.h"

TrackingEngine::TrackingEngine(DriverTable &drivers, QObject *parent) : QObject(parent), drivers(drivers)
{
    drivers.onIdle = [this] { resume(); };
}

void TrackingEngine::setAuto(bool on)
{
    autoMode = on;
    emit autoChanged(on);
}

bool TrackingEngine::busy() const
{
    return current.has_value() || holds > 0 || drivers.busy(settings().ANT);
}

quint64 TrackingEngine::track(const QString &azimuthText, Reply reply, std::optional<int> travelTarget)
{
    Request request{++requests, azimuthText, {}, -1, travelTarget};
    if (reply)
        request.replies.append(std::move(reply));
    // A rotator can only go to the newest azimuth: the ones overtaken before their command could
    // go out are never sent.
    // One left waiting by a line that came to rest unheard is overtaken all the same.
    if (waiting && !busy())
        settleWaiting(Outcome::Superseded);
    if (busy()) {
        settleWaiting(Outcome::Superseded);
        waiting = std::move(request);
    } else {
        start(std::move(request));
    }
    return requests;
}

void TrackingEngine::follow(quint64 number, Reply reply)
{
    if (current && current->number == number)
        current->replies.append(std::move(reply));
    else if (waiting && waiting->number == number)
        waiting->replies.append(std::move(reply));
    else if (number == settledNumber)
        reply(settledResult);
}

void TrackingEngine::release()
{
    if (holds > 0 && --holds == 0)
        resume();
}

void TrackingEngine::resume()
{
    if (waiting && !busy()) {
        Request next = std::move(*waiting);
        waiting.reset();
        start(std::move(next));
    }
}

void TrackingEngine::stop()
{
    settleWaiting(Outcome::Stopped);
    // The command in progress hears from its driver whether the stop came before it went out.
    drivers.stopAll();
}

void TrackingEngine::dropWaiting()
{
    settleWaiting(Outcome::Dropped);
}

void TrackingEngine::settleWaiting(Outcome outcome)
{
    if (!waiting)
        return;
    // Taken off first: a listener told of it may make a new request.
    Request overtaken = std::move(*waiting);
    waiting.reset();
    settle(overtaken, {outcome, {}});
}

void TrackingEngine::start(Request request)
{
    // Nothing runs a request from inside another's: no handler on this path waits in an event loop.
    Q_ASSERT(!starting && !current);
    {
        const QScopedValueRollback inStart(starting, true);
        carryOut(std::move(request));
    }
    // What came in while this one was carried out, once the line is free.
    resume();
}

void TrackingEngine::carryOut(Request request)
{
    Settings &s = settings();
    const bool readable = tracking::parseAzimuth(request.azimuthText, &s.EnteredAzimuth);
    if (!readable)
        s.EnteredAzimuth = -1;
    current = std::move(request);
    if (s.ANT == NoInterface || s.EnteredAzimuth < 0 || s.EnteredAzimuth >= 360 || !drivers.hasTrack(s.ANT)) {
        finish({Outcome::Refused, {}, !readable});
        return;
    }
    // The driver turns the target into the controller's terms (half-turn, offset).
    current->wanted = int(s.EnteredAzimuth);
    const quint64 number = current->number;
    s.TargetAzimuth = s.EnteredAzimuth;
    s.WithinStep = false;
    s.CommandSkipped = false;
    const QScopedValueRollback target(s.TravelTarget, current->travelTarget);
    try {
        drivers.track(s.ANT, [this, number](Outcome outcome, const QString &failure) {
            if (current && current->number == number)
                finish({outcome, failure});
        });
    } catch (const std::exception &error) {
        s.CommandSkipped = false;
        finish({Outcome::Failed, QString::fromUtf8(error.what())});
        return;
    }
    if (s.CommandSkipped) {
        s.CommandSkipped = false;
        finish({s.WithinStep ? Outcome::Skipped : Outcome::Unreachable, {}});
    }
}

void TrackingEngine::finish(const TrackResult &result)
{
    Request done = std::move(*current);
    current.reset();
    if (result.outcome == Outcome::Sent)
        sent = done.wanted;
    settle(done, result);
    emit tracked(result);
    // A driver that answered at once is still on the stack: start() goes on once it returns.
    if (!starting)
        resume();
}

void TrackingEngine::settle(Request &request, const TrackResult &result)
{
    settledNumber = request.number;
    settledResult = result;
    const QList<Reply> replies = std::exchange(request.replies, {});
    for (const Reply &reply : replies)
        reply(result);
}
