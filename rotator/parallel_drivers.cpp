#include "rotator/parallel_drivers.h"

#include <cmath>
#include <stdexcept>

#include "platform/ui_services.h"
#include "ports/port_library.h"
#include "rotator/driver_table.h"
#include "rotator/tracking.h"

namespace {

constexpr BoardWrite D(int value, int pauseAfter = 0) { return {BoardWrite::Data, value, pauseAfter}; }
constexpr BoardWrite C(int value, int pauseAfter = 0) { return {BoardWrite::Control, value, pauseAfter}; }
constexpr int V = BoardWrite::PositionByte;

long double scaled(long double degrees, long double calibration)
{
    return tracking::roundHalfEven(degrees * calibration);
}

} // namespace

const QList<ParallelBoard> &parallelBoards()
{
    static const QList<ParallelBoard> boards = {
        {PourSat, "PourSat_Track", &Settings::LPT_POURSAT, &Settings::STEP_POURSAT,
         &Settings::STOP_POURSAT, &Settings::CALAZ_POURSAT, &Settings::ZERO_POURSAT,
         {C(0), C(8), D(V), C(10), C(1), D(1), C(3), C(0)}},
        {FODTrack, "FOD_Track", &Settings::LPT_FODTRACK, &Settings::STEP_FODTRACK,
         &Settings::STOP_FODTRACK, &Settings::CALAZ_FODTRACK, &Settings::ZERO_FODTRACK,
         {C(2, 10), D(V, 10), C(2, 5), C(3, 10), C(2, 10), C(0, 10), D(1, 10), C(0, 5), C(1, 10), C(0)}},
    };
    return boards;
}

int boardPosition(long double azimuth, long double zero, long double calibration)
{
    // A position below 0 or above 255 may lie on the board's other turn, past its zero.
    long double v = scaled(azimuth - zero, calibration);
    if (v < 0)
        v = zero > 0 ? scaled(azimuth + 360 - zero, calibration) : 0;
    if (v > 255)
        v = zero < 0 ? scaled(azimuth - 360 - zero, calibration) : 255;
    // A calibration the dialog does not bound can push even the other turn off the board; the
    // board then gets its nearest end rather than a wrapped byte. NaN counts as the low end.
    if (!(v >= 0))
        return 0;
    return v > 255 ? 255 : int(v);
}

ParallelDrivers::ParallelDrivers(Hooks hooks) : hooks(std::move(hooks)) {}

void ParallelDrivers::registerIn(DriverTable &table)
{
    for (const ParallelBoard &board : parallelBoards())
        table.add(board.rotator, {QLatin1String(board.trackName), QString(),
                                  [this, &board](DriverTable::Done done) { track(board, std::move(done)); }, {},
                                  [this] { return line.busy(); }});
    QObject::connect(&line, &TimedLine::idle, [&table] { table.idle(); });
}

void ParallelDrivers::track(const ParallelBoard &board, DriverTable::Done done)
{
    Settings &s = settings();
    const int lpt = s.*board.lpt;
    if (lpt < 0 || lpt >= int(s.LptAddress.size())) {
        s.CommandSkipped = true;
        platform::ui().beep(platform::Beep::Default);
        return;
    }
    if (!tracking::beginTrack(s, s.*board.step, s.*board.stopSide == SouthStop))
        return;
    const int position = boardPosition(s.TargetAzimuth, s.*board.zero, s.*board.calibration);
    hooks.showCommand(QString::number(position));
    const quint16 base = s.LptAddress[lpt];
    QList<TimedLine::Step> steps;
    for (const BoardWrite &write : board.frame) {
        steps.append({[base, position, write] {
                          ports::PortLibrary &library = ports::portLibrary();
                          const quint16 port = write.target == BoardWrite::Data ? base : quint16(base + 2);
                          library.Outport(port, quint16(write.value == BoardWrite::PositionByte ? position : write.value));
                          // Checked after every write: a frame that broke off is no command sent.
                          if (library.GetLastState() != 0)
                              throw std::runtime_error("The parallel port refused a write");
                      },
                      write.pauseAfter});
    }
    try {
        line.send(std::move(steps), [done = std::move(done)](LineOutcome outcome, const QString &) {
            // A frame that broke off counts as a board that could not be reached, as at its start.
            if (outcome == LineOutcome::Failed)
                platform::ui().beep(platform::Beep::Default);
            done(outcome == LineOutcome::Written ? Outcome::Sent
                 : outcome == LineOutcome::Cancelled ? Outcome::Stopped
                                                     : Outcome::Unreachable,
                 {});
        });
    } catch (const std::exception &) {
        s.CommandSkipped = true;
        platform::ui().beep(platform::Beep::Default);
    }
}
