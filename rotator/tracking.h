#pragma once

#include <QString>

struct Settings;

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

// Reads an azimuth typed by the user as a float in the current locale.
bool parseAzimuth(const QString &text, long double *azimuth);

} // namespace tracking
