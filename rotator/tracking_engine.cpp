#include "rotator/tracking_engine.h"

#include <exception>
#include <QScopedValueRollback>

#include "app/settings.h"
#include "rotator/tracking.h"

TrackingEngine::TrackingEngine(DriverTable &drivers, QObject *parent) : QObject(parent), drivers(drivers) {}

void TrackingEngine::setAuto(bool on)
{
    autoMode = on;
    emit autoChanged(on);
}

TrackResult TrackingEngine::track(const QString &azimuthText)
{
    // A rotator can only go to the newest azimuth: the ones overtaken while a command is under
    // way are never sent.
    if (inProgress || holds > 0) {
        waiting = azimuthText;
        return {Outcome::Merged, {}};
    }
    return run(azimuthText);
}

void TrackingEngine::release()
{
    if (holds > 0 && --holds == 0 && !inProgress && waiting) {
        const QString newest = *waiting;
        waiting.reset();
        run(newest);
    }
}

TrackResult TrackingEngine::run(QString azimuthText)
{
    const QScopedValueRollback busy(inProgress, true);
    for (;;) {
        const TrackResult result = carryOut(azimuthText);
        ++carried;
        last = result;
        emit tracked(result);
        if (result.outcome == Outcome::Failed || !waiting || holds > 0)
            return result;
        azimuthText = *waiting;
        waiting.reset();
    }
}

TrackResult TrackingEngine::carryOut(const QString &azimuthText)
{
    Settings &s = settings();
    const bool readable = tracking::parseAzimuth(azimuthText, &s.EnteredAzimuth);
    if (!readable)
        s.EnteredAzimuth = -1;
    if (s.ANT == NoInterface || s.EnteredAzimuth < 0 || s.EnteredAzimuth >= 360 || !drivers.hasTrack(s.ANT))
        return {Outcome::Refused, {}, !readable};
    // The driver turns the target into the controller's terms (half-turn, offset).
    const int wanted = int(s.EnteredAzimuth);
    s.TargetAzimuth = s.EnteredAzimuth;
    s.WithinStep = false;
    try {
        drivers.track(s.ANT);
    } catch (const std::exception &error) {
        s.CommandSkipped = false;
        return {Outcome::Failed, QString::fromUtf8(error.what())};
    }
    if (s.CommandSkipped) {
        s.CommandSkipped = false;
        return {s.WithinStep ? Outcome::Skipped : Outcome::Unreachable, {}};
    }
    sent = wanted;
    return {Outcome::Sent, {}};
}
