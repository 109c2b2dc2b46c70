// The main window's network servers, rotctld-compatible and PST: network clients steer the antenna
// through the same azimuth box, STOP button and parking as the user.
#include "ui/tform1.h"

#include <QAction>
#include <utility>
#include <QLineEdit>
#include <QTimer>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/ui_services.h"
#include "rotator/serial_protocols.h"
#include "rotator/tracking.h"
#include "rotator/tracking_engine.h"
#include "sources/locator_window.h"
#include "sources/pst_server.h"
#include "sources/rotctld_server.h"
#include "ui/up_down.h"
#include "widgets/lcd99.h"

namespace {

// Runs a client's command: what it raises is answered as an I/O error first (the server keeps
// only a command's first outcome), then shown.
template<typename Command>
void answering(const rotctld::Done &done, Command &&command)
{
    platform::reporting(command, [&](const QString &text) {
        done(rotctld::Status::IoError);
        platform::ui().notify(platform::MessageKind::Error, text);
    });
}

// The settings of a network server: wanted on, its port, reachable from other computers.
struct NetworkKeys {
    bool Settings::*on;
    int Settings::*port;
    bool Settings::*all;
};

const NetworkKeys rotctldKeys{&Settings::ROTCTLD, &Settings::ROTCTLDPORT, &Settings::ROTCTLDALL};
const NetworkKeys pstKeys{&Settings::PSTUDP, &Settings::PSTUDPPORT, &Settings::PSTUDPALL};

// Listens when the server is wanted on, else closes; a port that cannot be listened on turns it
// off, unticks its item and is thrown as TorvanelError.
template<typename Server>
void applyNetworkServer(Server *server, QAction *item, const NetworkKeys &keys)
{
    Settings &s = settings();
    if (!(s.*keys.on)) {
        server->close();
        item->setChecked(false);
        return;
    }
    try {
        server->listen(quint16(s.*keys.port), s.*keys.all);
    } catch (const TorvanelError &) {
        // Off is off: clients of the listener that was there before are let go too.
        server->close();
        s.*keys.on = false;
        item->setChecked(false);
        throw;
    }
    item->setChecked(true);
}

// After the settings dialog: listens again when the port or the reach changed.
template<typename Server>
void moveNetworkServer(Server *server, QAction *item, const NetworkKeys &keys)
{
    const Settings &s = settings();
    if (server->isListening()
        && (server->port() != s.*keys.port || server->allowsOtherComputers() != s.*keys.all)) {
        // Clients of the old port, or from computers no longer allowed, are not heard any more.
        server->close();
        applyNetworkServer(server, item, keys);
    }
}

// Reported once, as the N1MM listener's failure; ticking the item retries.
template<typename Server>
void startNetworkServer(Server *server, QAction *item, const NetworkKeys &keys)
{
    if (settings().*keys.on && !server->isListening())
        platform::guarded([&] { applyNetworkServer(server, item, keys); });
}

// A PST datagram's order: what it raises is shown, never answered.
template<typename Command>
void carryingOut(Command &&command)
{
    platform::reporting(command, [](const QString &text) { platform::ui().notify(platform::MessageKind::Error, text); });
}

} // namespace

void TForm1::createRotctldServer()
{
    // Called from a client's line: nothing a handler raises crosses the server's socket handling.
    // The answers come once the outcome is known.
    const auto answer = [this](const rotctld::Done &done) {
        return [this, done](const TrackResult &result) { done(rotctldStatus(result.outcome)); };
    };
    // The requests a client makes are logged as its.
    const auto client = [this](const std::function<void()> &request) {
        fromSource(ActivitySource::peer(ActivitySource::Rotctld, rotctldServer->client()), request);
    };
    rotctld::Rotator rotator{
        [this, answer, client](int azimuth, const rotctld::Done &done) {
            answering(done, [&] { client([&] { turnTo(azimuth, answer(done)); }); });
        },
        // Where the antenna is read to be, else where it was sent, else what the display shows;
        // on the travel past north for a rotator with an overlap.
        [this] {
            const Settings &s = settings();
            if (const std::optional<int> pointed = s.pointedAzimuth())
                return *pointed;
            // Which turn is not known yet: the first, where the next command would go.
            const int heading = knownAzimuth();
            const std::optional<Travel> travel = s.pointedTravel();
            return travel ? tracking::shortestTurn(heading, 1, *travel, std::nullopt) : heading;
        },
        [this](rotctld::Done done) { done(rotctldStop()); },
        [this, answer, client](const rotctld::Done &done) {
            if (!parksAtExit()) {
                done(rotctld::Status::NotAvailable);
                return;
            }
            answering(done, [&] { client([&] { park(answer(done)); }); });
        },
        [this, client](rotctld::Direction direction, const rotctld::Done &done) {
            answering(done, [&] { client([&] { rotctldMove(direction, done); }); });
        },
        [this] { return rotctldMotion(); },
        [this, answer, client](int azimuth, const rotctld::Done &done) {
            answering(done, [&] { client([&] { turnToTravel(azimuth, answer(done)); }); });
        },
        [] { return settings().pointedTravel(); },
        [] {
            const Settings &s = settings();
            if (!s.inOverlap())
                return rotctld::Overlap::None;
            return *s.RotatorPosition < 0 ? rotctld::Overlap::Left : rotctld::Overlap::Right;
        }};
    rotctldServer = new RotctldServer(std::move(rotator), this);
    connectItem(MenuServerRotctld, &TForm1::MenuServerRotctldClick);
}

rotctld::Status TForm1::rotctldStatus(Outcome outcome) const
{
    switch (outcome) {
    case Outcome::Sent:
    case Outcome::Skipped:
        return rotctld::Status::Ok;
    // Hamlib's "command rejected": a newer azimuth or a stop came first, or the program closed.
    case Outcome::Superseded:
    case Outcome::Stopped:
    case Outcome::Dropped:
        return rotctld::Status::Rejected;
    case Outcome::Refused:
        if (closeRequested)
            return rotctld::Status::Rejected;
        return interfaceLost() ? rotctld::Status::IoError : rotctld::Status::NotAvailable;
    case Outcome::Unreachable:
    case Outcome::Failed:
        break;
    }
    return rotctld::Status::IoError;
}

bool TForm1::interfaceLost() const
{
    // The interface the file chose was let go at start because its port was not there.
    return settings().ANT == NoInterface && storedChoices.ANT != NoInterface;
}

rotctld::Status TForm1::rotctldStop()
{
    const Settings &s = settings();
    if (s.ANT == NoInterface)
        return interfaceLost() ? rotctld::Status::IoError : rotctld::Status::NotAvailable;
    // A stop from afar reaches the controller even when no command has opened its port yet.
    bool reached = true;
    if (serialProtocol(s.ANT))
        reached = serial->open(s.ANT);
    else if (s.ANT == Hamlib)
        hamlib->open();
    rotctld::Status status = reached ? rotctld::Status::Ok : rotctld::Status::IoError;
    answering([&](rotctld::Status failed) { status = failed; }, [this] { BitBtnStopClick(); });
    return status;
}

void TForm1::rotctldMove(rotctld::Direction direction, const rotctld::Done &done)
{
    // The controller's range starts at its counter-clockwise end stop: north, or south with
    // the half-turn; a rotator with an overlap turns to the end of its travel.
    const Settings &s = settings();
    const int start = s.stopSide(s.ANT) == SouthStop ? 180 : 0;
    const int end = (start + (direction == rotctld::Direction::Left ? 0 : 359)) % 360;
    const std::optional<Travel> travel = s.pointedTravel();
    const int travelEnd = travel ? (direction == rotctld::Direction::Left ? travel->minimum : travel->maximum) : end;
    const int heading = tracking::heading(travelEnd);
    turnToTravel(travelEnd, [this, direction, heading, done](const TrackResult &result) {
        const rotctld::Status status = rotctldStatus(result.outcome);
        if (status == rotctld::Status::Ok)
            rotctldMoving.emplace(direction, heading);
        done(status);
    });
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
    applyNetworkServer(rotctldServer, MenuServerRotctld, rotctldKeys);
}

void TForm1::moveRotctldServer()
{
    showRotctldCaption();
    moveNetworkServer(rotctldServer, MenuServerRotctld, rotctldKeys);
}

void TForm1::showRotctldCaption()
{
    MenuServerRotctld->setText(languages::rotctldCaption(language(), settings().ROTCTLDPORT));
}

void TForm1::startRotctldAtFirstActivation()
{
    showRotctldCaption();
    startNetworkServer(rotctldServer, MenuServerRotctld, rotctldKeys);
}

void TForm1::closeRotctldServer()
{
    rotctldServer->close();
}

void TForm1::createPstServer()
{
    // A sender hears nothing back but AZ?'s answer: errors are shown, and a locator that leads
    // nowhere (no station locator, the same square) moves nothing.
    // The requests a sender makes are logged as its, and what they raise is shown.
    const auto sender = [this](const std::function<void()> &request) {
        carryingOut([&] { fromSource(ActivitySource::peer(ActivitySource::Pst, pstServer->client()), request); });
    };
    pstServer = new PstServer(
        {[this, sender](int azimuth) { sender([&] { turnTo(azimuth); }); },
         [this, sender](const QString &other) {
             if (const auto azimuth = shortPathAzimuth(settings().MYLOCATOR, other))
                 sender([&] { turnTo(*azimuth); });
         },
         [this] { rotctldStop(); },
         [this, sender] {
             if (parksAtExit())
                 sender([this] { park(); });
         },
         [this] { return knownAzimuth(); }},
        this);
    connectItem(MenuServerPst, &TForm1::MenuServerPstClick);
}

void TForm1::MenuServerPstClick()
{
    settings().PSTUDP = MenuServerPst->isChecked();
    applyPstServer();
}

void TForm1::applyPstServer()
{
    applyNetworkServer(pstServer, MenuServerPst, pstKeys);
}

void TForm1::movePstServer()
{
    showPstCaption();
    moveNetworkServer(pstServer, MenuServerPst, pstKeys);
}

void TForm1::showPstCaption()
{
    MenuServerPst->setText(languages::pstCaption(language(), settings().PSTUDPPORT));
}

void TForm1::startPstAtFirstActivation()
{
    showPstCaption();
    startNetworkServer(pstServer, MenuServerPst, pstKeys);
}

void TForm1::closePstServer()
{
    pstServer->close();
}
