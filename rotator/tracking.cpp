#include "rotator/tracking.h"

#include <cfenv>
#include <cmath>
#include <stdexcept>
#include <QLocale>

#include "app/settings.h"

namespace tracking {

long double roundHalfEven(long double value)
{
    // nearbyintl honours the rounding mode, which nothing in the program changes.
    return std::nearbyintl(value);
}

bool beginTrack(Settings &s, int minimumStep, bool southStop)
{
    // A peer may ask for the same heading on another turn of the travel, half a turn or more
    // from where the rotator is; nearer, the step counts as for any heading.
    const bool otherTurn = s.TravelTarget && (!s.RotatorPosition || std::fabs(*s.TravelTarget - *s.RotatorPosition) >= 180);
    if (!otherTurn && minimumStep > std::fabs(s.TargetAzimuth - s.LastAzimuth)) {
        s.CommandSkipped = true;
        s.WithinStep = true;
        return false;
    }
    s.LastAzimuth = s.TargetAzimuth;
    if (southStop) {
        s.TargetAzimuth -= 180;
        if (s.TargetAzimuth < 0)
            s.TargetAzimuth += 360;
    }
    return true;
}

int commandValue(long double azimuth, int offset, int scale)
{
    const int full = 360 * scale;
    // The conversion to int is undefined for anything but a finite azimuth in range.
    if (!std::isfinite(azimuth) || std::fabs(azimuth) > 100000)
        throw std::domain_error("The azimuth is not a valid number");
    // Whatever the offset, a whole number of turns away: the result is within [0, full) and
    // fits an int before it is converted.
    long double value = std::fmod(roundHalfEven((azimuth - offset) * scale), (long double)full);
    if (value < 0)
        value += full;
    return int(value);
}

int heading(int azimuth)
{
    return (azimuth % 360 + 360) % 360;
}

int shortestTurn(int value, int scale, Travel travel, std::optional<long double> from)
{
    const int full = 360 * scale;
    const int lowest = travel.minimum * scale, highest = travel.maximum * scale;
    // The first turn of the travel that holds the value's heading.
    int best = lowest + ((value - lowest) % full + full) % full;
    if (best > highest)
        return value;
    if (!travel.overlaps() || !from)
        return best;
    const long double here = *from * scale;
    for (int candidate = best + full; candidate <= highest; candidate += full) {
        if (std::fabs(candidate - here) < std::fabs(best - here))
            best = candidate;
    }
    return best;
}

int travelValue(const Settings &s, int rotatorInterface, int offset, int scale)
{
    const Travel travel = s.travel(rotatorInterface);
    // Asked for on the travel of its moment: since narrowed, or another interface's, only its
    // heading still holds.
    const bool onTravel = s.TravelTarget && travel.overlaps() && *s.TravelTarget >= travel.minimum
                          && *s.TravelTarget <= travel.maximum;
    return onTravel ? *s.TravelTarget * scale
                    : shortestTurn(commandValue(s.TargetAzimuth, offset, scale), scale, travel, s.RotatorPosition);
}

bool parseAzimuth(const QString &text, long double *azimuth)
{
    bool ok = false;
    const double value = QLocale().toDouble(text, &ok);
    // QLocale reads "nan" and "inf": no rotator can be sent there.
    if (!ok || !std::isfinite(value))
        return false;
    *azimuth = value;
    return true;
}

} // namespace tracking
