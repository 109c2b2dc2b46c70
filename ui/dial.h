#pragma once

#include <QPoint>

// The geometry of the compass dial, fixed to its 68 x 68 picture.
namespace dial {

constexpr QPoint Centre(34, 34);
constexpr int NeedleLength = 22;

// Where the needle for an azimuth in degrees ends: north up, angles clockwise.
QPoint needleEnd(int azimuth);

} // namespace dial
