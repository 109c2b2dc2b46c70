#pragma once

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Maidenhead locators, angles and bearings, computed as Hamlib 4.5.4 computes them, so that our
// rotctld answers and Hamlib's own agree digit for digit. Degrees are decimal, east and north
// positive; nothing is returned where Hamlib answers "invalid argument".
namespace locator {

struct Position {
    double longitude = 0;
    double latitude = 0;
};

// The centre of the locator's square. Letters in either case; as in Hamlib, only whole pairs
// count (an odd last character is not looked at), only the first six pairs are read, and the
// text ends at a zero byte. Nothing for fewer than one pair or a character out of its field.
std::optional<Position> toLongLat(QByteArrayView locator);

// The locator of a position with 1 to 6 pairs, in capitals. Like Hamlib it takes any finite
// position: 180 east and 90 north wrap round to AA, far beyond the globe it gives characters
// below A and 0.
std::optional<QByteArray> fromLongLat(double longitude, double latitude, int pairs);

// An angle in degrees, minutes and seconds, each counted by its size alone; southWest 1 makes it
// negative, any other number leaves it positive (Hamlib's dms2dec).
double fromDms(int degrees, int minutes, double seconds, int southWest);
// The same with decimal minutes, but the seconds keep their sign (Hamlib's dmmm2dec).
double fromDmm(int degrees, double minutes, double seconds, int southWest);

struct Dms {
    int degrees = 0;     // 0..180
    int minutes = 0;     // 0..59
    double seconds = 0;  // 0 to below 60
    bool southWest = false;
    // The minutes with the seconds as their fraction (Hamlib's dec2dmmm).
    double decimalMinutes() const;
};

// An angle folded into -180..180 and split (Hamlib's dec2dms); 180 east and west are both
// 180 east. Nothing for infinity or nan, where Hamlib's answer is undefined.
std::optional<Dms> toDms(double degrees);

struct Qrb {
    double distance = 0;  // km along the short path
    double azimuth = 0;   // whole degrees 0..360
};

// Distance and short-path azimuth from the first position to the second (Hamlib's qrb). Nothing
// when a latitude is beyond ±90 or a longitude beyond ±180.
std::optional<Qrb> qrb(double longitude1, double latitude1, double longitude2, double latitude2);

// The rest of the great circle (Hamlib's distance_long_path); any distance is taken.
double longPathDistance(double distance);
// The opposite azimuth (Hamlib's azimuth_long_path); nothing for one outside 0..360.
std::optional<double> longPathAzimuth(double azimuth);

struct Path {
    double azimuth = 0;
    double longPathAzimuth = 0;
    double distance = 0;
};

// From one locator's centre to another's; nothing when either is not a locator.
std::optional<Path> path(QByteArrayView from, QByteArrayView to);

// A number with six decimals exactly as rotctld prints it with "%f": ties rounded to even and
// the sign of a negative zero kept, where QString::number rounds ties up and drops it.
QString sixDecimals(double value);

} // namespace locator
