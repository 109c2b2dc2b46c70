#pragma once

#include <QColor>
#include <QPoint>

// The geometry of the compass dial, fixed to its 68 x 68 picture.
namespace dial {

constexpr QPoint Centre(34, 34);
constexpr int NeedleLength = 22;
// The needle of the azimuth the rotator reports, beside the red one of the azimuth sent.
inline const QColor MeasuredNeedle(0, 160, 255);
// The headings a rotator with an overlap reaches on two turns, drawn over the black ring, and
// the mark on the needle while the antenna is past north.
inline const QColor Overlap(255, 140, 0);
constexpr int RingRadius = 25;

// Where the needle for an azimuth in degrees ends: north up, angles clockwise.
QPoint needleEnd(int azimuth);

} // namespace dial
