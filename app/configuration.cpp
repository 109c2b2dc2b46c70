#include "app/configuration.h"

#include <cmath>
#include <algorithm>
#include <optional>
#include <QHash>
#include <QLocale>
#include <QStringConverter>

#include "app/codepage.h"

namespace configuration {

namespace {

enum class Kind {
    Header,
    Section,
    Language,
    Auto,
    Server,
    PortN1mm,
    AntN1mm,
    Ant,
    Lpt,
    Stop,
    Step,
    Calibration,
    Zero,
    Port,
    Baud,
    Offset,
    ElevationSuffix,
    TrakBoxHost,
    Movenow,
    ParkingAzimuth,
    Parking,
    Flag,
    MainWindow,
    AngleWindow,
    AngleWindowVisible,
    LocatorWindow,
    LocatorWindowVisible,
    StationLocator,
    Angle,
    FavouriteAzimuth,
    FavouriteName,
    NetworkPort,
    HamlibModel,
    HamlibDevice,
    HamlibPoll,
    TravelMinimum,
    TravelMaximum,
    Text,
};

// One line of the file, in the writer's order; the reader finds it by its key.
struct Line {
    const char *key; // without the "="; a section's name
    Kind kind;
    int index = -1; // the interface, WindowMeasure or favourite the line belongs to
    int Settings::*integer = nullptr;
    long double Settings::*real = nullptr;
    BaudSetting Settings::*baud = nullptr;
    bool Settings::*flag = nullptr;
    QString Settings::*text = nullptr;
};

constexpr Line section(const char *name)
{
    return {name, Kind::Section};
}
constexpr Line plain(const char *key, Kind kind, int index = -1)
{
    return {key, kind, index};
}
constexpr Line integer(const char *key, Kind kind, int Settings::*member, int index = -1)
{
    return {key, kind, index, member};
}
constexpr Line real(const char *key, Kind kind, long double Settings::*member)
{
    return {key, kind, -1, nullptr, member};
}
constexpr Line baud(const char *key, BaudSetting Settings::*member, int rotatorInterface)
{
    return {key, Kind::Baud, rotatorInterface, nullptr, nullptr, member};
}
// Written as "=1" when on, left out when off; any other value leaves the setting as it is.
constexpr Line flag(const char *key, bool Settings::*member)
{
    return {key, Kind::Flag, -1, nullptr, nullptr, nullptr, member};
}
// Written only when it holds something.
constexpr Line text(const char *key, QString Settings::*member)
{
    return {key, Kind::Text, -1, nullptr, nullptr, nullptr, nullptr, member};
}
constexpr int measure(WindowMeasure which)
{
    return int(which);
}

constexpr Line lines[] = {
    plain("", Kind::Header),
    plain("LANGUAGE", Kind::Language),
    plain("AUTO", Kind::Auto),
    plain("SERVER", Kind::Server),
    plain("PORTN1MM", Kind::PortN1mm),
    plain("ANTN1MM", Kind::AntN1mm),
    plain("ANT", Kind::Ant),

    section("POURSAT"),
    integer("LPT_POURSAT", Kind::Lpt, &Settings::LPT_POURSAT, PourSat),
    integer("STOP_POURSAT", Kind::Stop, &Settings::STOP_POURSAT),
    integer("STEP_POURSAT", Kind::Step, &Settings::STEP_POURSAT),
    real("CALAZ_POURSAT", Kind::Calibration, &Settings::CALAZ_POURSAT),
    real("ZERO_POURSAT", Kind::Zero, &Settings::ZERO_POURSAT),

    section("FODTRACK"),
    integer("LPT_FODTRACK", Kind::Lpt, &Settings::LPT_FODTRACK, FODTrack),
    integer("STOP_FODTRACK", Kind::Stop, &Settings::STOP_FODTRACK),
    integer("STEP_FODTRACK", Kind::Step, &Settings::STEP_FODTRACK),
    real("CALAZ_FODTRACK", Kind::Calibration, &Settings::CALAZ_FODTRACK),
    real("ZERO_FODTRACK", Kind::Zero, &Settings::ZERO_FODTRACK),

    section("EA4TX"),
    integer("STOP_EA4TX", Kind::Stop, &Settings::STOP_EA4TX),
    integer("STEP_EA4TX", Kind::Step, &Settings::STEP_EA4TX),

    section("GS-232"),
    integer("PORT_GS232", Kind::Port, &Settings::PORT_GS232, GS232),
    baud("BAUD_GS232", &Settings::BAUD_GS232, GS232),
    integer("STOP_GS232", Kind::Stop, &Settings::STOP_GS232),
    integer("STEP_GS232", Kind::Step, &Settings::STEP_GS232),
    integer("AZOFFSET_GS", Kind::Offset, &Settings::AZOFFSET_GS),
    plain("EL_GS232", Kind::ElevationSuffix),

    section("EASYCOMM"),
    integer("PORT_EASYCOMM", Kind::Port, &Settings::PORT_EASYCOMM, EasyComm),
    baud("BAUD_EASYCOMM", &Settings::BAUD_EASYCOMM, EasyComm),
    integer("STOP_EASYCOMM", Kind::Stop, &Settings::STOP_EASYCOMM),
    integer("AZOFFSET_EASY", Kind::Offset, &Settings::AZOFFSET_EASY),
    integer("STEP_EASYCOMM", Kind::Step, &Settings::STEP_EASYCOMM),

    section("DCU-1"),
    integer("PORT_DCU1", Kind::Port, &Settings::PORT_DCU1, DCU1),
    baud("BAUD_DCU1", &Settings::BAUD_DCU1, DCU1),
    integer("STOP_DCU1", Kind::Stop, &Settings::STOP_DCU1),
    integer("AZOFFSET_DCU1", Kind::Offset, &Settings::AZOFFSET_DCU1),
    integer("STEP_DCU1", Kind::Step, &Settings::STEP_DCU1),

    section("PROSISTEL"),
    integer("PORT_PROSISTEL", Kind::Port, &Settings::PORT_PROSISTEL, ProSisTel),
    integer("STOP_PROSISTEL", Kind::Stop, &Settings::STOP_PROSISTEL),
    integer("AZOFFSET_PROSISTEL", Kind::Offset, &Settings::AZOFFSET_PROSISTEL),
    integer("STEP_PROSISTEL", Kind::Step, &Settings::STEP_PROSISTEL),

    section("TRAKBOX"),
    integer("PORT_TRAKBOX", Kind::Port, &Settings::PORT_TRAKBOX, TrakBox),
    baud("BAUD_TRAKBOX", &Settings::BAUD_TRAKBOX, TrakBox),
    integer("AZOFFSET_TKB", Kind::Offset, &Settings::AZOFFSET_TKB),
    integer("STEP_TRAKBOX", Kind::Step, &Settings::STEP_TRAKBOX),
    plain("TKB_HOST", Kind::TrakBoxHost),

    section("M2ORION"),
    integer("PORT_M2ORION", Kind::Port, &Settings::PORT_M2ORION, M2Orion),
    integer("STOP_M2ORION", Kind::Stop, &Settings::STOP_M2ORION),
    integer("AZOFFSET_M2ORION", Kind::Offset, &Settings::AZOFFSET_M2ORION),
    integer("STEP_M2ORION", Kind::Step, &Settings::STEP_M2ORION),

    section("EGIS"),
    integer("PORT_EGIS", Kind::Port, &Settings::PORT_EGIS, EGIS),
    integer("STOP_EGIS", Kind::Stop, &Settings::STOP_EGIS),
    integer("AZOFFSET_EGIS", Kind::Offset, &Settings::AZOFFSET_EGIS),
    integer("STEP_EGIS", Kind::Step, &Settings::STEP_EGIS),

    section("KCT"),
    integer("STOP_KCT", Kind::Stop, &Settings::STOP_KCT),
    integer("AZOFFSET_KCT", Kind::Offset, &Settings::AZOFFSET_KCT),
    integer("STEP_KCT", Kind::Step, &Settings::STEP_KCT),
    plain("MOVENOW", Kind::Movenow),

    // General settings that follow the last section.
    real("AZIMUT_PARKING", Kind::ParkingAzimuth, &Settings::AZIMUT_PARKING),
    plain("PARKING", Kind::Parking),
    flag("JINGLE", &Settings::JINGLE),
    integer("WLEFT", Kind::MainWindow, &Settings::WLEFT, measure(WindowMeasure::Left)),
    integer("WTOP", Kind::MainWindow, &Settings::WTOP, measure(WindowMeasure::Top)),
    integer("WWIDTH", Kind::MainWindow, &Settings::WWIDTH, measure(WindowMeasure::Width)),
    integer("WHEIGHT", Kind::MainWindow, &Settings::WHEIGHT, measure(WindowMeasure::Height)),
    integer("WALEFT", Kind::AngleWindow, &Settings::WALEFT, measure(WindowMeasure::Left)),
    integer("WATOP", Kind::AngleWindow, &Settings::WATOP, measure(WindowMeasure::Top)),
    integer("WANGLE", Kind::AngleWindowVisible, &Settings::WANGLE),
    plain("ANGLE", Kind::Angle),
    plain("FAV1AZ", Kind::FavouriteAzimuth, 0),
    plain("FAV1TXT", Kind::FavouriteName, 0),
    plain("FAV2AZ", Kind::FavouriteAzimuth, 1),
    plain("FAV2TXT", Kind::FavouriteName, 1),
    plain("FAV3AZ", Kind::FavouriteAzimuth, 2),
    plain("FAV3TXT", Kind::FavouriteName, 2),
    plain("FAV4AZ", Kind::FavouriteAzimuth, 3),
    plain("FAV4TXT", Kind::FavouriteName, 3),
    plain("FAV5AZ", Kind::FavouriteAzimuth, 4),
    plain("FAV5TXT", Kind::FavouriteName, 4),
    plain("FAV6AZ", Kind::FavouriteAzimuth, 5),
    plain("FAV6TXT", Kind::FavouriteName, 5),

    // The rotctld server, after every line that older readers know.
    flag("ROTCTLD", &Settings::ROTCTLD),
    integer("ROTCTLDPORT", Kind::NetworkPort, &Settings::ROTCTLDPORT),
    flag("ROTCTLDALL", &Settings::ROTCTLDALL),

    // The station's locator and the locator window.
    plain("MYLOCATOR", Kind::StationLocator),
    integer("WLLEFT", Kind::LocatorWindow, &Settings::WLLEFT, measure(WindowMeasure::Left)),
    integer("WLTOP", Kind::LocatorWindow, &Settings::WLTOP, measure(WindowMeasure::Top)),
    integer("WLOC", Kind::LocatorWindowVisible, &Settings::WLOC),
    // Hamlib, last of all, so that a reader that knows only the eleven reads every line before.
    section("HAMLIB"),
    integer("HAMLIB_MODEL", Kind::HamlibModel, &Settings::HAMLIB_MODEL),
    integer("PORT_HAMLIB", Kind::Port, &Settings::PORT_HAMLIB, Hamlib),
    baud("BAUD_HAMLIB", &Settings::BAUD_HAMLIB, Hamlib),
    plain("HAMLIB_DEVICE", Kind::HamlibDevice),
    integer("STEP_HAMLIB", Kind::Step, &Settings::STEP_HAMLIB),
    integer("AZOFFSET_HAMLIB", Kind::Offset, &Settings::AZOFFSET_HAMLIB),
    integer("STOP_HAMLIB", Kind::Stop, &Settings::STOP_HAMLIB),
    integer("HAMLIB_POLL", Kind::HamlibPoll, &Settings::HAMLIB_POLL),

    // The PST UDP server, after every line of the files written before it.
    flag("PSTUDP", &Settings::PSTUDP),
    integer("PSTUDPPORT", Kind::NetworkPort, &Settings::PSTUDPPORT),
    flag("PSTUDPALL", &Settings::PSTUDPALL),

    // The heading sent to N1MM Logger+.
    flag("N1MMHEADING", &Settings::N1MMHEADING),
    integer("N1MMHEADINGPORT", Kind::NetworkPort, &Settings::N1MMHEADINGPORT),
    text("N1MMHEADINGHOST", &Settings::N1MMHEADINGHOST),
    text("N1MMROTOR", &Settings::N1MMROTOR),

    // Each interface's travel, written only where it differs from one turn from north.
    plain("AZMIN_POURSAT", Kind::TravelMinimum, PourSat),
    plain("AZMAX_POURSAT", Kind::TravelMaximum, PourSat),
    plain("AZMIN_FODTRACK", Kind::TravelMinimum, FODTrack),
    plain("AZMAX_FODTRACK", Kind::TravelMaximum, FODTrack),
    plain("AZMIN_EA4TX", Kind::TravelMinimum, EA4TX),
    plain("AZMAX_EA4TX", Kind::TravelMaximum, EA4TX),
    plain("AZMIN_GS232", Kind::TravelMinimum, GS232),
    plain("AZMAX_GS232", Kind::TravelMaximum, GS232),
    plain("AZMIN_EASYCOMM", Kind::TravelMinimum, EasyComm),
    plain("AZMAX_EASYCOMM", Kind::TravelMaximum, EasyComm),
    plain("AZMIN_TRAKBOX", Kind::TravelMinimum, TrakBox),
    plain("AZMAX_TRAKBOX", Kind::TravelMaximum, TrakBox),
    plain("AZMIN_KCT", Kind::TravelMinimum, KCT),
    plain("AZMAX_KCT", Kind::TravelMaximum, KCT),
    plain("AZMIN_PROSISTEL", Kind::TravelMinimum, ProSisTel),
    plain("AZMAX_PROSISTEL", Kind::TravelMaximum, ProSisTel),
    plain("AZMIN_DCU1", Kind::TravelMinimum, DCU1),
    plain("AZMAX_DCU1", Kind::TravelMaximum, DCU1),
    plain("AZMIN_M2ORION", Kind::TravelMinimum, M2Orion),
    plain("AZMAX_M2ORION", Kind::TravelMaximum, M2Orion),
    plain("AZMIN_EGIS", Kind::TravelMinimum, EGIS),
    plain("AZMAX_EGIS", Kind::TravelMaximum, EGIS),
    plain("AZMIN_HAMLIB", Kind::TravelMinimum, Hamlib),
    plain("AZMAX_HAMLIB", Kind::TravelMaximum, Hamlib),
};

// The settings dialog's limits for the N1MM Logger port and antenna.
constexpr int largestN1mmPort = 50000;
constexpr int largestN1mmAntenna = 16;

// Keys without their "=", sections in their brackets.
const QHash<QString, const Line *> &linesByKey()
{
    static const QHash<QString, const Line *> keys = [] {
        QHash<QString, const Line *> table;
        for (const Line &line : lines) {
            if (line.kind == Kind::Section)
                table.insert(u'[' + QLatin1String(line.key) + u']', &line);
            else if (line.kind != Kind::Header)
                table.insert(QLatin1String(line.key), &line);
        }
        return table;
    }();
    return keys;
}

// Whether a number read for the line lies within what the settings dialog and the favourites
// window accept; a value beyond would reach the rotator as no user could have set it.
bool allowed(Kind kind, long double value)
{
    switch (kind) {
    case Kind::Step:
        return value >= 0 && value <= limits::largestStep;
    case Kind::Offset:
        return std::fabs(value) <= limits::largestOffset;
    case Kind::Lpt:
        return value >= 0 && value <= 3; // 0 is none, then LPT1 to LPT3
    case Kind::Port:
        return value >= 1; // COM1 and up
    case Kind::Zero:
        return std::fabs(value) <= limits::largestZero;
    case Kind::ParkingAzimuth:
        return value >= 0 && value <= limits::largestParkingAzimuth;
    case Kind::FavouriteAzimuth:
        return value >= 0 && value <= limits::largestFavouriteAzimuth;
    default:
        return true;
    }
}

// Qt's conversions stop at a zero character, so that "4", NUL, "05" would pass for 4.
bool holdsZeroCharacter(const QString &text)
{
    return text.contains(QChar(0));
}

std::optional<int> integerValue(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && !holdsZeroCharacter(text) ? std::optional<int>(value) : std::nullopt;
}

// A float by the current locale's rules. Group separators are refused: under a decimal point,
// "182,5" would otherwise read as 1825.
std::optional<long double> floatValue(const QString &text)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(value) || holdsZeroCharacter(text))
        return std::nullopt;
    return value;
}

bool applyN1mm(const QString &value, QString &text, quint16 &number, int largest)
{
    const auto n = integerValue(value);
    if (!n || *n < 1 || *n > largest)
        return false;
    text = value;
    number = quint16(*n);
    return true;
}

// Keeps a flag raised while a call runs, even when the call raises an error.
class RaisedFlag
{
public:
    explicit RaisedFlag(bool &flag) : flag(flag) { flag = true; }
    ~RaisedFlag() { flag = false; }
    RaisedFlag(const RaisedFlag &) = delete;
    RaisedFlag &operator=(const RaisedFlag &) = delete;

private:
    bool &flag;
};

// Applies one value; false when the value does not convert, or lies outside what the settings
// dialog allows, and the line is left out. Texts keep their trailing blanks, words and numbers
// do not.
bool apply(const Line &line, const QString &text, Settings &s, ConfigurationTarget &target,
           StoredChoices &stored)
{
    const QString value = text.trimmed();
    switch (line.kind) {
    case Kind::Header:
    case Kind::Section:
        break;
    case Kind::Language:
        if (value == u"ENGLISH")
            target.applyLanguage(Language::English);
        else if (value == u"FRENCH")
            target.applyLanguage(Language::French);
        break;
    case Kind::Auto:
        if (value == u"1")
            target.pressAuto();
        break;
    case Kind::Server:
        if (value == u"VELMUNDO") {
            target.selectServer(AzimuthServer::Velmundo);
        } else if (value == u"BEAMDX") {
            target.selectServer(AzimuthServer::BeamDX);
        } else if (value == u"N1MM") {
            // The listener starts at the first activation, not while the window is created.
            const RaisedFlag suppress(s.SuppressListenerStart);
            target.selectServer(AzimuthServer::N1MM);
        }
        break;
    case Kind::PortN1mm:
        return applyN1mm(value, s.PORTN1MM, s.N1mmPort, largestN1mmPort);
    case Kind::AntN1mm:
        return applyN1mm(value, s.ANTN1MM, s.N1mmAntenna, largestN1mmAntenna);
    case Kind::Ant:
        s.ANT = stored.ANT = interfaceFromKeyWord(value);
        break;
    case Kind::Lpt: {
        // Only LPT1 to LPT3 exist; anything else would index past the address table.
        const auto n = integerValue(value);
        if (n && !allowed(line.kind, *n))
            return false;
        const int port = n ? *n - 1 : -1;
        stored.port[line.index] = port;
        s.*line.integer = !s.PortDriverRequired || s.PortDriverPresent ? port : -1;
        break;
    }
    case Kind::Stop:
        s.*line.integer = stopSideFromLetter(value);
        break;
    case Kind::Step:
    case Kind::Offset: {
        const int number = integerValue(value).value_or(line.kind == Kind::Step ? 1 : 0);
        if (!allowed(line.kind, number))
            return false;
        s.*line.integer = number;
        break;
    }
    case Kind::Calibration:
    case Kind::Zero: {
        if (value.isEmpty())
            break;
        // With both a comma and a point there is no telling which one separates the decimals.
        if (value.contains(u',') && value.contains(u'.'))
            return false;
        const auto number = floatValue(VeriDec(value));
        if (!number || !allowed(line.kind, *number))
            return false;
        s.*line.real = *number;
        break;
    }
    case Kind::Port: {
        const auto n = integerValue(value);
        if (n && !allowed(line.kind, *n))
            return false;
        const int port = n ? *n - 1 : -1;
        s.*line.integer = stored.port[line.index] = port;
        break;
    }
    case Kind::Baud: {
        if (value.isEmpty())
            break;
        BaudSetting &baud = s.*line.baud;
        baud.text = value;
        const int index = baudIndex(value);
        if (index >= 0) {
            baud.BaudIndex = index;
            target.applyBaud(line.index, index);
        }
        break;
    }
    case Kind::ElevationSuffix:
        target.turnOnEL_GS232();
        break;
    case Kind::TrakBoxHost:
        if (value == u"Y")
            target.turnOnTKB_HOST();
        break;
    case Kind::Movenow:
        s.MOVENOW = text;
        break;
    case Kind::ParkingAzimuth: {
        const auto number = floatValue(value);
        if (!number || !allowed(line.kind, *number))
            return false;
        s.AZIMUT_PARKING = *number;
        break;
    }
    case Kind::Parking: {
        const int parking = interfaceFromKeyWord(value);
        if (parking != NoInterface)
            s.PARKING = parking + 1;
        break;
    }
    case Kind::Flag:
        if (value == u"1")
            s.*line.flag = true;
        break;
    case Kind::MainWindow: {
        const auto n = integerValue(value);
        if (!n)
            return false;
        s.*line.integer = *n;
        target.moveMainWindow(WindowMeasure(line.index), *n);
        break;
    }
    case Kind::AngleWindow:
    case Kind::AngleWindowVisible:
    case Kind::LocatorWindow:
    case Kind::LocatorWindowVisible: {
        const auto n = integerValue(value);
        if (!n)
            return false;
        s.*line.integer = *n;
        break;
    }
    case Kind::StationLocator:
        if (!isStationLocator(value))
            return false;
        s.MYLOCATOR = canonicalLocator(value);
        break;
    case Kind::Angle: {
        const auto n = integerValue(value);
        if (n && *n != 0) {
            s.ANGLE = value;
            s.AnglePending = true;
        }
        break;
    }
    case Kind::FavouriteAzimuth: {
        const auto n = integerValue(value);
        if (!n || !allowed(line.kind, *n))
            return false;
        s.FAVAZ[line.index] = *n;
        break;
    }
    case Kind::FavouriteName:
        s.FAVTXT[line.index] = text;
        target.setFavouriteCaption(line.index, text);
        break;
    case Kind::NetworkPort: {
        const auto n = integerValue(value);
        if (!n || *n < 1 || *n > 65535)
            return false;
        s.*line.integer = *n;
        break;
    }
    case Kind::HamlibModel:
    case Kind::HamlibPoll: {
        // Hamlib numbers its models from 1; a period of 0 turns the read-back off.
        const auto n = integerValue(value);
        if (!n || *n < (line.kind == Kind::HamlibModel ? 1 : 0))
            return false;
        s.*line.integer = *n;
        break;
    }
    case Kind::HamlibDevice:
        s.HAMLIB_DEVICE = text;
        break;
    case Kind::TravelMinimum:
    case Kind::TravelMaximum: {
        // Whether the two ends make a travel the interface can carry is known once both are read.
        const auto n = integerValue(value);
        if (!n || *n < limits::lowestTravel || *n > limits::highestTravel)
            return false;
        (line.kind == Kind::TravelMinimum ? s.AZMIN : s.AZMAX)[line.index] = *n;
        break;
    }
    case Kind::Text:
        s.*line.text = text;
        break;
    }
    return true;
}

QString serverWord(AzimuthServer server)
{
    switch (server) {
    case AzimuthServer::BeamDX:
        return QStringLiteral("BEAMDX");
    case AzimuthServer::N1MM:
        return QStringLiteral("N1MM");
    case AzimuthServer::Velmundo:
        break;
    }
    return QStringLiteral("VELMUNDO");
}

// Halves to the even neighbour; the reader keeps AZIMUT_PARKING within the dialog's range.
QString roundedText(long double value)
{
    return QString::number(qint64(std::nearbyintl(value)));
}

// Valid UTF-8 with at least one byte beyond ASCII, which Windows-1252 text hardly ever is.
bool isUtf8BeyondAscii(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) < 0x80; }))
        return false;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// UTF-16 without a byte-order mark: Latin text has a zero in every other byte. A stray zero in
// an 8-bit file does not make it UTF-16; a quarter of the bytes on one side does.
std::optional<QStringConverter::Encoding> unmarkedUtf16(QByteArrayView bytes)
{
    std::array<qsizetype, 2> zeros = {0, 0}; // at even and odd offsets
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == 0)
            ++zeros[i % 2];
    }
    if (std::max(zeros[0], zeros[1]) <= bytes.size() / 8)
        return std::nullopt;
    return zeros[1] > zeros[0] ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
}

// Windows editors save "Unicode" as UTF-16 with a byte-order mark, and some put one before UTF-8;
// other tools write either without one. Anything else is the program's own Windows-1252.
QString fileText(QByteArrayView bytes, FileEncoding &encoding)
{
    encoding = {};
    if (const auto marked = QStringConverter::encodingForData(bytes))
        encoding = {marked, true};
    else if (const auto wide = unmarkedUtf16(bytes))
        encoding = {wide, false};
    else if (isUtf8BeyondAscii(bytes))
        encoding = {QStringConverter::Utf8, false};
    if (!encoding.unicode)
        return fromWindows1252(bytes);
    QStringDecoder decoder(*encoding.unicode, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

// Windows-1252 while every character fits it and the bytes cannot pass for UTF-8; else the
// file's own Unicode encoding, so that no name is lost, or UTF-8 for a file that had none. All
// but UTF-8 carry their byte-order mark, so that the next reading need not guess the byte order.
FileEncoding writtenEncoding(const QString &text, const FileEncoding &read)
{
    if (fitsWindows1252(text) && !isUtf8BeyondAscii(toWindows1252(text)))
        return {};
    if (!read.unicode)
        return {QStringConverter::Utf8, true};
    return {read.unicode, read.byteOrderMark || *read.unicode != QStringConverter::Utf8};
}

QByteArray encoded(const QString &text, const FileEncoding &encoding)
{
    if (!encoding.unicode)
        return toWindows1252(text);
    QStringEncoder encoder(*encoding.unicode, encoding.byteOrderMark ? QStringConverter::Flag::WriteBom
                                                                     : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

QString fileOf(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// Cuts the longest values, and only those, to one common length, as far as the reader's limit
// needs: such values come from a damaged file or a runaway edit, and every other setting stays.
void fitWithinLargestFile(QStringList &lines, const FileEncoding &encoding)
{
    const auto valueStart = [](const QString &line) {
        const qsizetype equals = line.indexOf(u'=');
        return equals < 0 ? line.size() : equals + 1;
    };
    const auto cut = [&](qsizetype longestValue) {
        QStringList shorter;
        for (const QString &line : lines) {
            QString kept = line.left(valueStart(line) + longestValue);
            // Never half a character beyond 16 bits.
            if (kept.size() < line.size() && !kept.isEmpty() && kept.back().isHighSurrogate())
                kept.chop(1);
            shorter.append(kept);
        }
        return shorter;
    };
    const auto fits = [&](const QStringList &candidate) {
        return encoded(fileOf(candidate), encoding).size() <= largestFile;
    };
    if (fits(lines))
        return;
    qsizetype low = 0;
    qsizetype high = 0;
    for (const QString &line : lines)
        high = std::max(high, line.size() - valueStart(line));
    while (low < high) {
        const qsizetype middle = low + (high - low + 1) / 2;
        if (fits(cut(middle)))
            low = middle;
        else
            high = middle - 1;
    }
    lines = cut(low);
}

// What the file held beside the known keys follows them while the reader's limit allows.
void appendWithinLargestFile(QStringList &lines, const QStringList &others, const FileEncoding &encoding)
{
    FileEncoding unmarked = encoding;
    unmarked.byteOrderMark = false;
    qint64 size = encoded(fileOf(lines), encoding).size();
    for (const QString &line : others) {
        size += encoded(line + QStringLiteral("\r\n"), unmarked).size();
        if (size > largestFile)
            return;
        lines.append(line);
    }
}

// A line that opens with one of these is a comment, for this reader and for Windows'.
bool isComment(QStringView line)
{
    return line.startsWith(u';') || line.startsWith(u'#');
}

QString stripTrailingZeros(QString digits)
{
    while (digits.endsWith(u'0'))
        digits.chop(1);
    return digits;
}

} // namespace

QString VeriDec(const QString &text)
{
    const qsizetype comma = text.indexOf(u',');
    const qsizetype point = text.indexOf(u'.');
    if ((comma < 0) == (point < 0))
        return text;
    QString normalised = text;
    normalised.replace(std::max(comma, point), 1, QLocale().decimalPoint());
    return normalised;
}

QString formatFloat(long double value)
{
    const double number = double(value);
    if (number == 0)
        return QStringLiteral("0");
    if (!std::isfinite(number))
        return QString::number(number);
    // The C locale's "d.dddddde+XX" gives the 7 significant digits, already rounded.
    const QString scientific = QString::number(std::fabs(number), 'e', 6);
    const qsizetype e = scientific.indexOf(u'e');
    const int exponent = scientific.mid(e + 1).toInt();
    const QString digits = scientific.left(1) + scientific.mid(2, e - 2);
    const QString sign = number < 0 ? QStringLiteral("-") : QString();
    // VeriDec knows the comma and the point only; other separators, such as the Arabic and
    // Persian U+066B, are not even in Windows-1252.
    const QString separator = QLocale().decimalPoint() == u"," ? QStringLiteral(",")
                                                                : QStringLiteral(".");

    // Decided on the rounded value, so that what is written reads back and writes the same.
    if (exponent < -5 || exponent >= 7) {
        const QString fraction = stripTrailingZeros(digits.mid(1));
        return sign + digits.left(1) + (fraction.isEmpty() ? QString() : separator + fraction)
               + u'E' + (exponent < 0 ? QStringLiteral("-") : QString())
               + QString::number(std::abs(exponent)).rightJustified(3, u'0');
    }
    QString whole = QStringLiteral("0");
    QString fraction;
    if (exponent >= 0) {
        whole = digits.left(exponent + 1);
        fraction = digits.mid(exponent + 1);
    } else {
        fraction = QString(-exponent - 1, u'0') + digits;
    }
    fraction = stripTrailingZeros(fraction);
    return sign + whole + (fraction.isEmpty() ? QString() : separator + fraction);
}

LinesRead readConfiguration(QByteArrayView bytes, Settings &s, ConfigurationTarget &target,
                            StoredChoices &stored)
{
    const QString text = fileText(bytes, stored.encoding);
    const QHash<QString, const Line *> &keys = linesByKey();
    LinesRead read;
    // The travel lines of each interface, refused together when their ends do not fit or one of
    // them could not be read.
    std::array<QList<SkippedLine>, InterfaceCount> travelLines;
    std::array<bool, InterfaceCount> travelUnread{};
    qsizetype number = 0;
    qsizetype start = 0;
    // A line ends at CR LF, at a CR alone or at an LF alone.
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        ++number;
        const QStringView line = QStringView(text).mid(start, end - start);
        const QStringView trimmed = line.trimmed();
        const qsizetype equals = line.indexOf(u'=');
        const bool bracketed = trimmed.startsWith(u'[') && trimmed.endsWith(u']');
        const QString key = bracketed ? u'[' + trimmed.mid(1, trimmed.size() - 2).trimmed().toString().toUpper() + u']'
                            : equals > 0 ? line.left(equals).trimmed().toString().toUpper()
                                         : QString();
        const auto found = keys.constFind(key);
        const bool known = found != keys.cend() && ((*found)->kind == Kind::Section) == bracketed;
        if (trimmed.isEmpty()) {
            // Nothing to read, nothing to keep.
        } else if (bracketed && (known || key.startsWith(u"[TORVANEL"))) {
            ++read.understood;
        } else if (known) {
            // Blanks after the "=" belong to it, as in "KEY = value".
            QStringView value = line.mid(equals + 1);
            while (!value.isEmpty() && value.front().isSpace())
                value = value.mid(1);
            const bool travel = (*found)->kind == Kind::TravelMinimum || (*found)->kind == Kind::TravelMaximum;
            if (apply(**found, value.toString(), s, target, stored)) {
                ++read.understood;
                if (travel)
                    travelLines[(*found)->index].append({number, line.toString()});
            } else {
                read.skipped.append({number, line.toString()});
                ++read.notUnderstood;
                if (travel)
                    travelUnread[(*found)->index] = true;
            }
        } else {
            stored.otherLines.append(line.toString());
            if (!isComment(trimmed))
                ++read.notUnderstood;
        }
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    for (int rotatorInterface = 0; rotatorInterface < InterfaceCount; ++rotatorInterface) {
        const bool fits = checkTravel(rotatorInterface, s.travel(rotatorInterface)) == TravelCheck::Fits;
        if (fits && !travelUnread[rotatorInterface])
            continue;
        s.AZMIN[rotatorInterface] = Travel{}.minimum;
        s.AZMAX[rotatorInterface] = Travel{}.maximum;
        const QList<SkippedLine> &refused = travelLines[rotatorInterface];
        read.skipped.append(refused);
        read.understood -= refused.size();
        read.notUnderstood += refused.size();
    }
    std::sort(read.skipped.begin(), read.skipped.end(),
              [](const SkippedLine &a, const SkippedLine &b) { return a.number < b.number; });
    return read;
}

QByteArray configurationText(const Settings &s, const ConfigurationTarget &target,
                             const StoredChoices &stored)
{
    const auto safe = [](const QString &line) {
        // A CR or LF inside a value would start a line of its own at the next reading, and
        // zero bytes would make the file pass for UTF-16.
        QString text = line;
        return text.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u'?');
    };
    QStringList written;
    const auto add = [&written, &safe](const QString &line) { written.append(safe(line)); };
    for (const Line &line : lines) {
        const QString key = QLatin1String(line.key) + u'=';
        switch (line.kind) {
        case Kind::Header:
            add(QStringLiteral("[TORVANEL ") + s.VersionText + QStringLiteral("DX]"));
            break;
        case Kind::Section:
            add(u'[' + QLatin1String(line.key) + u']');
            break;
        case Kind::Language:
            add(key + QLatin1String(target.language() == Language::French ? "FRENCH" : "ENGLISH"));
            break;
        case Kind::Auto:
            if (target.autoOn())
                add(key + u'1');
            break;
        case Kind::Server:
            add(key + serverWord(target.server()));
            break;
        case Kind::PortN1mm:
            add(key + target.portN1mmText());
            break;
        case Kind::AntN1mm:
            add(key + target.antN1mmText());
            break;
        case Kind::Ant:
            add(key + interfaceKeyWord(target.userChangedInterface() ? s.ANT : stored.ANT));
            break;
        case Kind::Lpt: {
            const int port = target.userChangedPort(line.index) ? s.*line.integer
                                                                : stored.port[line.index];
            add(key + QString::number(port + 1));
            break;
        }
        case Kind::Stop:
            add(key + stopLetter(s.*line.integer));
            break;
        case Kind::Step:
        case Kind::Offset:
            add(key + QString::number(s.*line.integer));
            break;
        case Kind::Calibration:
        case Kind::Zero:
            add(key + formatFloat(s.*line.real));
            break;
        case Kind::Port:
            if (!target.userChangedPort(line.index)) {
                if (stored.port[line.index] >= 0)
                    add(key + QString::number(stored.port[line.index] + 1));
            } else if (const QString item = target.selectedPortItem(line.index); !item.isEmpty()) {
                add(key + item.mid(3)); // the item reads "COMn"
            }
            break;
        case Kind::Baud:
            add(key + (s.*line.baud).text);
            break;
        case Kind::ElevationSuffix:
            if (target.EL_GS232())
                add(key + u'Y');
            break;
        case Kind::TrakBoxHost:
            add(key + (target.TKB_HOST() ? u'Y' : u'N'));
            break;
        case Kind::Movenow:
            add(key + target.kctDirectoryText());
            break;
        case Kind::ParkingAzimuth:
            add(key + roundedText(s.AZIMUT_PARKING));
            break;
        case Kind::Parking:
            if (s.PARKING >= 1 && s.PARKING <= InterfaceCount)
                add(key + interfaceKeyWord(s.PARKING - 1));
            break;
        case Kind::Flag:
            if (s.*line.flag)
                add(key + u'1');
            break;
        case Kind::MainWindow:
            add(key + QString::number(target.mainWindowMeasure(WindowMeasure(line.index))));
            break;
        case Kind::AngleWindow:
        case Kind::LocatorWindow: {
            const QPoint position = line.kind == Kind::AngleWindow ? target.angleWindowPosition()
                                                                   : target.locatorWindowPosition();
            add(key + QString::number(WindowMeasure(line.index) == WindowMeasure::Left
                                          ? position.x()
                                          : position.y()));
            break;
        }
        case Kind::AngleWindowVisible:
        case Kind::LocatorWindowVisible:
            if (line.kind == Kind::AngleWindowVisible ? target.angleWindowVisible() : target.locatorWindowVisible())
                add(key + u'1');
            break;
        case Kind::StationLocator:
            if (!s.MYLOCATOR.isEmpty())
                add(key + s.MYLOCATOR);
            break;
        case Kind::Angle:
            add(key + target.angleText());
            break;
        case Kind::FavouriteAzimuth:
            add(key + QString::number(s.FAVAZ[line.index]));
            break;
        case Kind::FavouriteName:
            add(key + s.FAVTXT[line.index]);
            break;
        case Kind::NetworkPort:
        case Kind::HamlibModel:
        case Kind::HamlibPoll:
            add(key + QString::number(s.*line.integer));
            break;
        case Kind::HamlibDevice:
            add(key + s.HAMLIB_DEVICE);
            break;
        case Kind::TravelMinimum:
        case Kind::TravelMaximum:
            if (s.travel(line.index) != Travel{})
                add(key + QString::number((line.kind == Kind::TravelMinimum ? s.AZMIN : s.AZMAX)[line.index]));
            break;
        case Kind::Text:
            if (!(s.*line.text).isEmpty())
                add(key + s.*line.text);
            break;
        }
    }
    QStringList others;
    for (const QString &line : stored.otherLines)
        others.append(safe(line));
    FileEncoding encoding = writtenEncoding(fileOf(written + others), stored.encoding);
    fitWithinLargestFile(written, encoding);
    appendWithinLargestFile(written, others, encoding);
    // What did not fit may have held the only characters that needed Unicode.
    encoding = writtenEncoding(fileOf(written), stored.encoding);
    return encoded(fileOf(written), encoding);
}

} // namespace configuration
