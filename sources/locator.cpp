#include "sources/locator.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace locator {

namespace {

// The fields of a locator, pair by pair: longitude and latitude are split alike, the
// longitude's halved so that both span 180 degrees.
struct Field {
    int size;
    char first;
};
constexpr Field Fields[] = {{18, 'A'}, {10, '0'}, {24, 'A'}, {10, '0'}, {24, 'A'}, {10, '0'}};
constexpr int MaxPairs = std::size(Fields);

// The operations below keep Hamlib's order, constants and rounding, down to the last bit.
constexpr double Radian = 180.0 / std::numbers::pi;
constexpr double KmPerDegree = 111.2;

double signedAngle(double degrees, double minutes, double seconds, int southWest)
{
    const double size = degrees + minutes / 60 + seconds / 3600;
    return southWest == 1 ? -size : size;
}

} // namespace

std::optional<Position> toLongLat(QByteArrayView locator)
{
    // Hamlib reads a C string.
    locator = locator.first(qstrnlen(locator.data(), locator.size()));
    const qsizetype pairs = std::min<qsizetype>(locator.size() / 2, MaxPairs);
    if (pairs < 1)
        return std::nullopt;
    double ordinates[2] = {-90, -90};
    int divisions = 1;
    for (qsizetype pair = 0; pair < pairs; ++pair) {
        const Field &field = Fields[pair];
        divisions *= field.size;
        for (int axis = 0; axis < 2; ++axis) {
            char c = locator[2 * pair + axis];
            if (field.first == 'A' && c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
            const int value = c - field.first;
            if (value < 0 || value >= field.size)
                return std::nullopt;
            ordinates[axis] += value * 180.0 / divisions;
        }
    }
    // The centre, not the south-west corner, of the smallest square given.
    return Position{(ordinates[0] + 90.0 / divisions) * 2, ordinates[1] + 90.0 / divisions};
}

std::optional<QByteArray> fromLongLat(double longitude, double latitude, int pairs)
{
    if (pairs < 1 || pairs > MaxPairs || !std::isfinite(longitude) || !std::isfinite(latitude))
        return std::nullopt;
    // From the south-west corner of AA; Hamlib's millionth of a degree keeps a position on a
    // boundary from falling into the square below through rounding.
    double ordinates[2] = {std::fmod(longitude / 2 + 270.000001, 180.0),
                           std::fmod(latitude + 270.000001, 180.0)};
    QByteArray text(2 * pairs, Qt::Uninitialized);
    int divisions = 1;
    for (int pair = 0; pair < pairs; ++pair) {
        const Field &field = Fields[pair];
        divisions *= field.size;
        const double square = 180.0 / divisions;
        for (int axis = 0; axis < 2; ++axis) {
            const int value = int(ordinates[axis] / square);
            ordinates[axis] -= square * value;
            text[2 * pair + axis] = char(field.first + value);
        }
    }
    return text;
}

double fromDms(int degrees, int minutes, double seconds, int southWest)
{
    return signedAngle(std::abs(double(degrees)), std::abs(double(minutes)), std::fabs(seconds), southWest);
}

double fromDmm(int degrees, double minutes, double seconds, int southWest)
{
    return signedAngle(std::abs(double(degrees)), std::fabs(minutes), seconds, southWest);
}

double Dms::decimalMinutes() const
{
    return minutes + seconds / 60;
}

std::optional<Dms> toDms(double degrees)
{
    if (!std::isfinite(degrees))
        return std::nullopt;
    const double folded = degrees >= 0 ? std::fmod(degrees + 180, 360) - 180 : std::fmod(degrees - 180, 360) + 180;
    Dms dms;
    dms.southWest = folded < 0 && folded != -180;
    double rest = std::fabs(folded);
    dms.degrees = int(std::floor(rest));
    rest = 60 * (rest - dms.degrees);
    dms.minutes = int(std::floor(rest));
    dms.seconds = 60 * (rest - dms.minutes);
    return dms;
}

std::optional<Qrb> qrb(double longitude1, double latitude1, double longitude2, double latitude2)
{
    if (std::fabs(latitude1) > 90 || std::fabs(latitude2) > 90 || std::fabs(longitude1) > 180
        || std::fabs(longitude2) > 180)
        return std::nullopt;
    // Just off the pole, where the azimuth would be undefined.
    const auto offPole = [](double latitude) {
        return latitude == 90 ? 89.999999999 : latitude == -90 ? -89.999999999 : latitude;
    };
    const double lat1 = offPole(latitude1) / Radian, lat2 = offPole(latitude2) / Radian;
    const double across = longitude2 / Radian - longitude1 / Radian;
    const double cosArc = std::sin(lat1) * std::sin(lat2) + std::cos(lat1) * std::cos(lat2) * std::cos(across);
    if (cosArc > .999999999999999)
        return Qrb{0, 0};
    // Hamlib takes anything within about 0.08 degrees of the antipode for it, due north.
    if (cosArc < -.999999)
        return Qrb{180 * KmPerDegree, 0};
    const double distance = KmPerDegree * Radian * std::acos(cosArc);
    const double azimuth = Radian * std::atan2(std::sin(across) * std::cos(lat2),
                                               std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(across));
    // Hamlib answers whole degrees rounded half up, so just below north is 360, not 0.
    return Qrb{distance, std::floor(std::fmod(360 + azimuth, 360) + 0.5)};
}

double longPathDistance(double distance)
{
    return KmPerDegree * 360 - distance;
}

std::optional<double> longPathAzimuth(double azimuth)
{
    if (!(azimuth >= 0 && azimuth <= 360))
        return std::nullopt;
    return azimuth < 180 ? azimuth + 180 : azimuth - 180;
}

std::optional<Path> path(QByteArrayView from, QByteArrayView to)
{
    const std::optional<Position> a = toLongLat(from), b = toLongLat(to);
    if (!a || !b)
        return std::nullopt;
    // A square's centre is always on the globe, so both answers are there.
    const Qrb q = *qrb(a->longitude, a->latitude, b->longitude, b->latitude);
    return Path{q.azimuth, *longPathAzimuth(q.azimuth), q.distance};
}

QString sixDecimals(double value)
{
    QString text = QString::number(value, 'f', 6);
    // A tie at the sixth decimal has exactly seven binary fraction digits; its seven-decimal
    // text is exact, and cut to six it is the neighbour towards zero.
    if (std::fabs(std::fmod(value * 128, 2)) == 1 && text.back().digitValue() % 2 != 0)
        text = QString::number(value, 'f', 7).chopped(1);
    if (std::signbit(value) && !text.startsWith(u'-'))
        text.prepend(u'-');
    return text;
}

} // namespace locator
