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
    if (minimumStep > std::fabs(s.TargetAzimuth - s.LastAzimuth)) {
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
