// The main window's side of a rotator that turns past a whole turn: positions on its travel,
// unwinding, and the overlap on the dial and in the title.
#include "ui/tform1.h"

#include <QScopedValueRollback>

#include "app/settings.h"
#include "rotator/tracking.h"

void TForm1::turnToTravel(int azimuth, TrackingEngine::Reply reply)
{
    const Settings &s = settings();
    const std::optional<Travel> pointed = s.pointedTravel();
    // The box shows the heading; the driver is told the position itself.
    const QScopedValueRollback<std::optional<int>> wanted(
        travelWanted, pointed ? std::optional(azimuth - pointed->minimum + s.AZMIN[s.ANT]) : std::nullopt);
    turnTo(tracking::heading(azimuth), std::move(reply));
}

void TForm1::MenuUnwindClick()
{
    const Settings &s = settings();
    if (const std::optional<Travel> pointed = s.pointedTravel())
        fromSource({ActivitySource::Unwind, {}}, [&] { turnToTravel(pointed->middle()); });
}
