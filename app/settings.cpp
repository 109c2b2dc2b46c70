#include "app/settings.h"

#include <cmath>
#include <utility>
#include <QRegularExpression>

namespace {
const char *const keyWords[InterfaceCount] = {"POURSAT",  "FODTRACK", "EA4TX",     "GS232",
                                              "EASYCOMM", "TRAKBOX",  "KCT",       "PROSISTEL",
                                              "DCU1",     "M2ORION",  "EGIS",      "HAMLIB"};
}

Settings &settings()
{
    static Settings instance;
    return instance;
}

QString interfaceKeyWord(int rotatorInterface)
{
    if (rotatorInterface < 0 || rotatorInterface >= InterfaceCount)
        return QString();
    return QLatin1String(keyWords[rotatorInterface]);
}

int interfaceFromKeyWord(const QString &word)
{
    for (int i = 0; i < InterfaceCount; ++i) {
        if (word == QLatin1String(keyWords[i]))
            return i;
    }
    return NoInterface;
}

int baudIndex(const QString &text)
{
    for (int i = 0; i < int(BaudTable.size()); ++i) {
        if (text == QLatin1String(BaudTable[i].text))
            return i;
    }
    return -1;
}

int baudRate(int index)
{
    return QString::fromLatin1(BaudTable.at(index).text).toInt();
}

QString stopLetter(int side)
{
    return side == NorthStop ? QStringLiteral("N") : QStringLiteral("S");
}

int stopSideFromLetter(const QString &letter)
{
    return letter == QLatin1String("N") ? NorthStop : SouthStop;
}

QRegularExpression stationLocatorPattern()
{
    return QRegularExpression(QStringLiteral("[A-R]{2}[0-9]{2}([A-X]{2}([0-9]{2})?)?"),
                              QRegularExpression::CaseInsensitiveOption);
}

bool isStationLocator(const QString &text)
{
    static const QRegularExpression whole(QRegularExpression::anchoredPattern(stationLocatorPattern().pattern()),
                                          QRegularExpression::CaseInsensitiveOption);
    return whole.match(text).hasMatch();
}

QString canonicalLocator(const QString &text)
{
    return text.left(4).toUpper() + text.mid(4).toLower();
}

namespace {

// The setting of an interface in a table of them; the fallback for an interface without one.
template<std::size_t Size>
int settingOf(const Settings &s, const std::pair<int, int Settings::*> (&table)[Size], int rotatorInterface,
              int fallback)
{
    for (const auto &[rotator, member] : table) {
        if (rotator == rotatorInterface)
            return s.*member;
    }
    return fallback;
}

} // namespace

int Settings::stopSide(int rotatorInterface) const
{
    static constexpr std::pair<int, int Settings::*> Sides[] = {
        {PourSat, &Settings::STOP_POURSAT},     {FODTrack, &Settings::STOP_FODTRACK},
        {EA4TX, &Settings::STOP_EA4TX},         {GS232, &Settings::STOP_GS232},
        {EasyComm, &Settings::STOP_EASYCOMM},   {KCT, &Settings::STOP_KCT},
        {ProSisTel, &Settings::STOP_PROSISTEL}, {DCU1, &Settings::STOP_DCU1},
        {M2Orion, &Settings::STOP_M2ORION},     {EGIS, &Settings::STOP_EGIS},
        {Hamlib, &Settings::STOP_HAMLIB},
    };
    return settingOf(*this, Sides, rotatorInterface, NorthStop);
}

int Settings::offset(int rotatorInterface) const
{
    static constexpr std::pair<int, int Settings::*> Offsets[] = {
        {GS232, &Settings::AZOFFSET_GS},        {EasyComm, &Settings::AZOFFSET_EASY},
        {TrakBox, &Settings::AZOFFSET_TKB},     {KCT, &Settings::AZOFFSET_KCT},
        {ProSisTel, &Settings::AZOFFSET_PROSISTEL}, {DCU1, &Settings::AZOFFSET_DCU1},
        {M2Orion, &Settings::AZOFFSET_M2ORION}, {EGIS, &Settings::AZOFFSET_EGIS},
        {Hamlib, &Settings::AZOFFSET_HAMLIB},
    };
    return settingOf(*this, Offsets, rotatorInterface, 0);
}

Travel commandTravel(int rotatorInterface)
{
    switch (rotatorInterface) {
    case GS232:
        return {0, 450};
    case Hamlib:
        return {limits::lowestTravel, limits::highestTravel};
    default:
        return {};
    }
}

TravelCheck checkTravel(int rotatorInterface, Travel travel)
{
    if (travel.maximum - travel.minimum < 360)
        return TravelCheck::LessThanATurn;
    if (travel.minimum < limits::lowestTravel || travel.maximum > limits::highestTravel)
        return TravelCheck::BeyondLimits;
    const Travel widest = commandTravel(rotatorInterface);
    if (travel.minimum < widest.minimum || travel.maximum > widest.maximum)
        return TravelCheck::BeyondCommand;
    return TravelCheck::Fits;
}

namespace {

// What a position of the selected rotator's commands points to, less whole turns.
int pointingShift(const Settings &s)
{
    return s.offset(s.ANT) + (s.stopSide(s.ANT) == SouthStop ? 180 : 0);
}

} // namespace

std::optional<Travel> Settings::pointedTravel() const
{
    if (ANT < 0 || ANT >= InterfaceCount || !travel(ANT).overlaps())
        return std::nullopt;
    const int shift = pointingShift(*this);
    return Travel{AZMIN[ANT] + shift, AZMAX[ANT] + shift};
}

std::optional<int> Settings::pointedAzimuth() const
{
    if (!pointedTravel() || !RotatorPosition)
        return std::nullopt;
    return int(std::nearbyintl(*RotatorPosition + pointingShift(*this)));
}

bool Settings::inOverlap() const
{
    return pointedTravel() && RotatorPosition && travel(ANT).inOverlap(*RotatorPosition);
}
