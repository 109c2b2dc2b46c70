// The steps of the main window's creation, first activation and closing that belong to the
// program as a whole: the configuration file, parking and the closing commands.
#include "ui/tform1.h"

#include <QFileInfo>
#include <QScopedValueRollback>

#include "app/configuration.h"
#include "app/settings.h"
#include "platform/error.h"
#include "platform/programs.h"
#include "platform/ui_services.h"
#include "ports/port_library.h"
#include "rotator/serial_protocols.h"
#include "rotator/tracking.h"
#include "sources/favourites.h"
#include "ui/main_window_configuration.h"
#include "ui/up_down.h"
#include "ui/window_placement.h"

namespace {

QString skippedLinesText(const QList<configuration::SkippedLine> &lines, bool french)
{
    QString text = french ? QStringLiteral("Ces lignes de Torvanel.ini n'ont pas pu être lues et ont été ignorées :")
                          : QStringLiteral("These lines of Torvanel.ini could not be read and were skipped:");
    for (const configuration::SkippedLine &line : lines)
        text += QStringLiteral("\n%1: %2").arg(line.number).arg(line.text.left(80));
    return text;
}

} // namespace

void TForm1::readConfiguration()
{
    Settings &s = settings();
    if (!s.ConfigExisted)
        return;
    const configuration::ConfigurationReading reading = configuration::load_configuration(s, *configurationTarget);
    storedChoices = reading.stored;
    if (!reading.error.isEmpty())
        platform::ui().message(platform::MessageKind::Warning, reading.error);
    if (!reading.skippedLines.isEmpty())
        platform::ui().message(platform::MessageKind::Warning,
                               skippedLinesText(reading.skippedLines, language() == languages::Language::French));
    keepOnScreen(this, QSize(120, 40));
}

void TForm1::checkMovenowAtStart()
{
    Settings &s = settings();
    if (s.ANT == KCT && !QFileInfo(platform::movenowProgram(s.MOVENOW, s.ExeDir)).isFile()) {
        platform::ui().message(platform::MessageKind::Warning, s.MsgKctMissing);
        s.ANT = NoInterface;
    }
}

void TForm1::showPendingAngle()
{
    Settings &s = settings();
    if (!s.AnglePending)
        return;
    if (!s.DdeAzimuthText.isEmpty())
        s.ANGLE = s.DdeAzimuthText;
    UpDownAzi->setPosition(s.ANGLE.toInt());
    if (!s.DdeAzimuthText.isEmpty() && s.DdeAzimuthText != QLatin1String("0") && autoOn())
        ButtonTrackClick();
    s.AnglePending = false;
}

bool TForm1::parksAtExit() const
{
    const Settings &s = settings();
    return s.ANT != NoInterface && s.PARKING == s.ANT + 1;
}

void TForm1::park(TrackingEngine::Reply reply)
{
    Settings &s = settings();
    if (!parksAtExit())
        return;
    const QScopedValueRollback parking(parkingAtExit, true);
    s.EnteredAzimuth = s.AZIMUT_PARKING;
    // One command, whether the box's change sends it (AUTO on) or not.
    // A peer's park keeps its name; the exit's is the parking's.
    const ActivitySource source = activitySource.kind == ActivitySource::Box ? ActivitySource{ActivitySource::Parking, {}}
                                                                              : activitySource;
    const int azimuth = int(tracking::roundHalfEven(s.EnteredAzimuth));
    // On a rotator that turns past north, a parking past 359 is that very position of its travel.
    const std::optional<Travel> travel = s.pointedTravel();
    if (travel && azimuth >= 360 && azimuth <= travel->maximum)
        fromSource(source, [&] { turnToTravel(azimuth, std::move(reply)); });
    else
        fromSource(source, [&] { turnTo(azimuth, std::move(reply)); });
}

void TForm1::releaseParallelPort()
{
    const Settings &s = settings();
    const int lpt = s.ANT == PourSat ? s.LPT_POURSAT : s.ANT == FODTrack ? s.LPT_FODTRACK : -1;
    if (lpt >= 0 && lpt < 3 && s.PortDriverRequired && s.PortDriverPresent)
        ports::portLibrary().DisablePorts(s.LptAddress[lpt], s.LptAddress[lpt]);
}

void TForm1::sendClosingCommands()
{
    const Settings &s = settings();
    if (s.ANT == EA4TX && !parksAtExit())
        drivers.at(EA4TX).stop();
    else if (serialProtocol(s.ANT))
        serial->sendClosing(s.ANT, parksAtExit());
    else if (s.ANT == Hamlib)
        hamlib->sendClosing(parksAtExit());
}

void TForm1::saveConfiguration()
{
    // A window made without a configuration location (as in the tests) has nothing to save.
    if (settings().ConfigPath.isEmpty())
        return;
    configuration::save_configuration(settings(), *configurationTarget, storedChoices);
}
