#pragma once

#include <optional>
#include <QString>

#include "app/settings.h"

// The rules that every track operation shares, kept apart from any window.
namespace tracking {

// Nearest integer, halves to the even neighbour.
long double roundHalfEven(long double value);

// Threshold, LastAzimuth and half-turn, in that order. Returns false (and sets CommandSkipped)
// when the change is smaller than the minimum step; the caller then sends nothing.
bool beginTrack(Settings &s, int minimumStep, bool southStop);

// The azimuth less the offset, in units of 1/scale degree (scale 1, 10 or 100), rounded half
// to even and wrapped into [0, 360 * scale), for any offset.
int commandValue(long double azimuth, int offset, int scale = 1);

// The heading, 0..359, of a whole azimuth on any turn (370 and -350 are 10).
int heading(int azimuth);

// The position within the travel, in units of 1/scale degree, that points where a command value
// in [0, 360 * scale) does. With an overlap, the one reached by the shortest turn from where the
// rotator is (the lower of two equally near), or the lowest while that is not known; else the
// only one, the lower end for a heading at both ends.
int shortestTurn(int value, int scale, Travel travel, std::optional<long double> from);

// The command value of the target for an interface: the position a peer asked for while it lies
// on the interface's travel, else the shortest turn to the target from where the rotator is.
int travelValue(const Settings &s, int rotatorInterface, int offset, int scale = 1);

// Reads an azimuth typed by the user as a float in the current locale.
bool parseAzimuth(const QString &text, long double *azimuth);

} // namespace tracking
