#pragma once

#include <QColor>
#include <QPoint>

// The geometry of the compass dial, fixed to its 68 x 68 picture.
namespace dial {

constexpr QPoint Centre(34, 34);
constexpr int NeedleLength = 22;
// The needle of the azimuth the rotator reports, beside the red one of the azimuth sent.
inline const QColor MeasuredNeedle(0, 160, 255);

// Where the needle for an azimuth in degrees ends: north up, angles clockwise.
QPoint needleEnd(int azimuth);

} // namespace dial
