// The main window's rotctld-compatible server: network clients steer the antenna through the same
// azimuth box, STOP button and parking as the user.
#include "ui/tform1.h"

#include <QAction>
#include <QLineEdit>
#include <QTimer>

#include "app/settings.h"
#include "platform/error.h"
#include "rotator/tracking_engine.h"
#include "sources/rotctld_server.h"
#include "ui/up_down.h"
#include "widgets/lcd99.h"

void TForm1::createRotctldServer()
{
    // Called from a client's line: whatever a handler raises is reported here, never thrown
    // through the server's socket handling.
    rotctld::Rotator rotator{
        [this](int azimuth, rotctld::Done done) {
            TrackResult result{Outcome::Failed, {}};
            platform::guarded([&] { result = turnTo(azimuth); });
            done(rotctldStatus(result.outcome));
        },
        // Where the antenna is read to be, else where it was sent, else what the display shows.
        [this] { return knownAzimuth(); },
        [this](rotctld::Done done) {
            platform::guarded([this] { BitBtnStopClick(); });
            done(rotctld::Status::Ok);
        },
        [this](rotctld::Done done) {
            if (!parksAtExit())
                return done(rotctld::Status::NotAvailable);
            platform::guarded([this] { park(); });
            done(rotctld::Status::Ok);
        },
        [this](rotctld::Direction direction, rotctld::Done done) {
            rotctld::Status status = rotctld::Status::IoError;
            platform::guarded([&] { status = rotctldMove(direction); });
            done(status);
        },
        [this] { return rotctldMotion(); }};
    rotctldServer = new RotctldServer(std::move(rotator), this);
    connectItem(MenuServerRotctld, &TForm1::MenuServerRotctldClick);
}

rotctld::Status TForm1::rotctldStatus(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Sent:
    case Outcome::Skipped:
    // Goes out as soon as the command under way is done, unless a newer azimuth overtakes it.
    case Outcome::Merged:
        return rotctld::Status::Ok;
    case Outcome::Refused:
        return rotctld::Status::NotAvailable;
    case Outcome::Unreachable:
    case Outcome::Failed:
        break;
    }
    return rotctld::Status::IoError;
}

rotctld::Status TForm1::rotctldMove(rotctld::Direction direction)
{
    // The controller's range starts at its counter-clockwise end stop: north, or south with
    // the half-turn.
    const Settings &s = settings();
    const int start = s.stopSide(s.ANT) == SouthStop ? 180 : 0;
    const int end = (start + (direction == rotctld::Direction::Left ? 0 : 359)) % 360;
    const Outcome outcome = turnTo(end).outcome;
    const rotctld::Status status = rotctldStatus(outcome);
    if (status == rotctld::Status::Ok)
        rotctldMoving.emplace(direction, end);
    return status;
}

rotctld::Motion TForm1::rotctldMotion() const
{
    if (rotctldMoving && engine->lastSent() == rotctldMoving->second)
        return rotctldMoving->first == rotctld::Direction::Left ? rotctld::Motion::TurningLeft
                                                               : rotctld::Motion::TurningRight;
    // Without a position read back, the antenna counts as turning while the lamp blinks.
    return TimerTrackOK->isActive() ? rotctld::Motion::Turning : rotctld::Motion::Idle;
}

void TForm1::MenuServerRotctldClick()
{
    settings().ROTCTLD = MenuServerRotctld->isChecked();
    applyRotctldServer();
}

void TForm1::applyRotctldServer()
{
    Settings &s = settings();
    if (!s.ROTCTLD) {
        rotctldServer->close();
        MenuServerRotctld->setChecked(false);
        return;
    }
    try {
        rotctldServer->listen(quint16(s.ROTCTLDPORT), s.ROTCTLDALL);
    } catch (const TorvanelError &) {
        // Off is off: clients of the listener that was there before are let go too.
        rotctldServer->close();
        s.ROTCTLD = false;
        MenuServerRotctld->setChecked(false);
        throw;
    }
    MenuServerRotctld->setChecked(true);
}

void TForm1::moveRotctldServer()
{
    const Settings &s = settings();
    showRotctldCaption();
    if (rotctldServer->isListening()
        && (rotctldServer->port() != s.ROTCTLDPORT || rotctldServer->allowsOtherComputers() != s.ROTCTLDALL)) {
        // Clients of the old port, or from computers no longer allowed, do not stay connected.
        rotctldServer->close();
        applyRotctldServer();
    }
}

void TForm1::showRotctldCaption()
{
    MenuServerRotctld->setText(languages::rotctldCaption(language(), settings().ROTCTLDPORT));
}

void TForm1::startRotctldAtFirstActivation()
{
    showRotctldCaption();
    // Reported once, as the N1MM listener's failure; ticking the item retries.
    if (settings().ROTCTLD && !rotctldServer->isListening())
        platform::guarded([this] { applyRotctldServer(); });
}

void TForm1::closeRotctldServer()
{
    rotctldServer->close();
}
