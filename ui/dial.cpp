#include "ui/dial.h"

#include <cmath>

namespace dial {

QPoint needleEnd(int azimuth)
{
    // 3.14159, not the exact pi: the needle keeps the end points users already know.
    const long double r = azimuth * 3.14159L / 180;
    return QPoint(int(std::nearbyintl(Centre.x() + NeedleLength * std::sin(r))),
                  int(std::nearbyintl(Centre.y() - NeedleLength * std::cos(r))));
}

} // namespace dial
