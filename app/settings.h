#pragma once

#include <array>
#include <optional>
#include <QString>

#include "app/travel.h"

class QPushButton;
class QRegularExpression;

// The selected kind of rotator interface; the index is also the configuration's order.
enum RotatorInterface : int {
    NoInterface = -1,
    PourSat = 0,
    FODTrack = 1,
    EA4TX = 2,
    GS232 = 3,
    EasyComm = 4,
    TrakBox = 5,
    KCT = 6,
    ProSisTel = 7,
    DCU1 = 8,
    M2Orion = 9,
    EGIS = 10,
    Hamlib = 11,
};
constexpr int InterfaceCount = 12;

enum StopSide : int { NorthStop = 0, SouthStop = 1 };

struct BaudEntry {
    const char *text;
    int code;
};
// The codes are the serial component's; code 0 (a custom rate) is never used.
constexpr std::array<BaudEntry, 13> BaudTable = {{{"110", 1}, {"300", 2}, {"600", 3}, {"1200", 4},
                                                 {"2400", 5}, {"4800", 6}, {"9600", 7}, {"14400", 8},
                                                 {"19200", 9}, {"38400", 10}, {"56000", 11},
                                                 {"57600", 12}, {"115200", 13}}};

// Key word of the configuration file for an interface, empty for none.
QString interfaceKeyWord(int rotatorInterface);
// The interface of a key word; -1 for an unknown word.
int interfaceFromKeyWord(const QString &word);
// The BaudTable index of a text, or -1 when the text is not in the table.
int baudIndex(const QString &text);
// The rate in bits per second of a BaudTable index.
int baudRate(int index);
QString stopLetter(int side);
// "N" is north; every other letter is south.
int stopSideFromLetter(const QString &letter);
// A locator as operators exchange them: 4, 6 or 8 characters (field, square, subsquare,
// extended square), letters in either case. The pattern serves the entries' validators.
QRegularExpression stationLocatorPattern();
bool isStationLocator(const QString &text);
// Its usual writing: the field in capitals, the subsquare in small letters ("JN18du").
QString canonicalLocator(const QString &text);

// The values the settings dialog and the favourites window accept; the configuration reader
// holds the file to them too.
namespace limits {
constexpr int largestStep = 5;              // STEP_: 0 to 5 degrees
constexpr int largestOffset = 30;           // AZOFFSET_: -30 to 30 degrees
constexpr int largestZero = 90;             // ZERO_: -90 to 90 degrees
constexpr int largestParkingAzimuth = 450;  // AZIMUT_PARKING: 0 to 450 degrees
constexpr int largestFavouriteAzimuth = 359;
constexpr int lowestTravel = -360;          // AZMIN_, AZMAX_: -360 to 720 degrees
constexpr int highestTravel = 720;
} // namespace limits

// Why a travel cannot be set for an interface.
enum class TravelCheck {
    Fits,
    LessThanATurn,   // some headings could not be reached at all
    BeyondLimits,    // past limits::lowestTravel..highestTravel
    BeyondCommand,   // the interface's position command cannot say it (see commandTravel)
};
// The widest travel an interface's position command can carry: GS-232's W takes 0 to 450;
// Hamlib's models are held to their own range when they are opened; the others take one turn.
Travel commandTravel(int rotatorInterface);
TravelCheck checkTravel(int rotatorInterface, Travel travel);

// A baud setting: its text as stored, with the table entry it designates (-1: none).
struct BaudSetting {
    QString text = QStringLiteral("4800");
    int BaudIndex = 0;
};

// The program's single process-wide state: one member per configuration key, named by the key,
// and the runtime values that several subsystems share. Settings that the program holds as the
// state of a control (language, AUTO, server, the dialog's check boxes) live in those controls.
struct Settings {
    // General settings.
    QString PORTN1MM = QStringLiteral("12040");
    QString ANTN1MM = QStringLiteral("16");
    int ANT = NoInterface;
    int PARKING = 0;
    long double AZIMUT_PARKING = 0;
    bool JINGLE = false;
    int WTOP = 114, WLEFT = 3, WWIDTH = 471, WHEIGHT = 44;
    int WATOP = 0, WALEFT = 0;
    int WANGLE = 0;
    QString ANGLE;
    std::array<int, 6> FAVAZ = {0, 0, 0, 0, 0, 0};                 // FAV1AZ .. FAV6AZ
    std::array<QString, 6> FAVTXT = {QStringLiteral("Fav.1"), QStringLiteral("Fav.2"),
                                     QStringLiteral("Fav.3"), QStringLiteral("Fav.4"),
                                     QStringLiteral("Fav.5"), QStringLiteral("Fav.6")}; // FAV1TXT ..

    // PourSat and FODTrack.
    int LPT_POURSAT = -1, STOP_POURSAT = NorthStop, STEP_POURSAT = 1;
    long double CALAZ_POURSAT = 0.5138901L, ZERO_POURSAT = 0;
    int LPT_FODTRACK = -1, STOP_FODTRACK = NorthStop, STEP_FODTRACK = 1;
    long double CALAZ_FODTRACK = 0.711L, ZERO_FODTRACK = 0;
    // EA4TX.
    int STOP_EA4TX = NorthStop, STEP_EA4TX = 1;
    // Serial controllers. PORT_ values are COMn - 1; -1 none.
    int PORT_GS232 = -1, STOP_GS232 = NorthStop, STEP_GS232 = 1, AZOFFSET_GS = 0;
    bool EL_GS232 = false;  // mirrored by the settings dialog's check box CheckBoxGSel
    BaudSetting BAUD_GS232;
    int PORT_EASYCOMM = -1, STOP_EASYCOMM = NorthStop, STEP_EASYCOMM = 1, AZOFFSET_EASY = 0;
    BaudSetting BAUD_EASYCOMM;
    int PORT_DCU1 = -1, STOP_DCU1 = NorthStop, STEP_DCU1 = 1, AZOFFSET_DCU1 = 0;
    BaudSetting BAUD_DCU1;
    int PORT_PROSISTEL = -1, STOP_PROSISTEL = NorthStop, STEP_PROSISTEL = 1, AZOFFSET_PROSISTEL = 0;
    int PORT_TRAKBOX = -1, STEP_TRAKBOX = 1, AZOFFSET_TKB = 0;
    bool TKB_HOST = false;  // mirrored by the settings dialog's check box CheckBoxTKBHost
    BaudSetting BAUD_TRAKBOX;
    int PORT_M2ORION = -1, STOP_M2ORION = NorthStop, STEP_M2ORION = 1, AZOFFSET_M2ORION = 0;
    int PORT_EGIS = -1, STOP_EGIS = NorthStop, STEP_EGIS = 1, AZOFFSET_EGIS = 0;
    // Hamlib: its model number, the COM port of a serial model or the device (or host:port) of
    // the others, and the shortest read-back period in milliseconds (0: none). No BAUD_HAMLIB text
    // means the model's own rate.
    int HAMLIB_MODEL = 1, PORT_HAMLIB = -1, STOP_HAMLIB = NorthStop, STEP_HAMLIB = 1, AZOFFSET_HAMLIB = 0;
    BaudSetting BAUD_HAMLIB = {QString(), -1};
    QString HAMLIB_DEVICE;
    int HAMLIB_POLL = 200;
    // KCT.
    int STOP_KCT = NorthStop, AZOFFSET_KCT = 0, STEP_KCT = 1;
    QString MOVENOW = QStringLiteral("c:\\radio\\kct\\");
    // The rotctld server: wanted on, its TCP port, reachable from other computers.
    bool ROTCTLD = false;
    int ROTCTLDPORT = 4533;
    bool ROTCTLDALL = false;
    // The PST UDP server: wanted on, its port, reachable from other computers.
    bool PSTUDP = false;
    int PSTUDPPORT = 12000;
    bool PSTUDPALL = false;
    // The heading sent to N1MM Logger+: wanted even when another server is chosen, its UDP port,
    // the address it goes to (empty: the logger's) and the rotor's name (empty: the logger's).
    bool N1MMHEADING = false;
    int N1MMHEADINGPORT = 13010;
    QString N1MMHEADINGHOST;
    QString N1MMROTOR;
    // The station's own locator (empty: not set), and the locator window's place and visibility.
    QString MYLOCATOR;
    int WLTOP = 0, WLLEFT = 0;
    int WLOC = 0;
    // Each interface's travel (AZMIN_<interface>, AZMAX_<interface>), indexed by ANT.
    std::array<int, InterfaceCount> AZMIN = {};
    std::array<int, InterfaceCount> AZMAX = {360, 360, 360, 360, 360, 360, 360, 360, 360, 360, 360, 360};

    // Runtime values.
    long double TargetAzimuth = 0;
    long double LastAzimuth = -10;
    long double EnteredAzimuth = 0;
    // Where the selected interface's rotator is, in the degrees of its commands: its reading,
    // else the last command sent to it; none before either.
    std::optional<long double> RotatorPosition;
    // The position a peer asked for by its wrap (370 on a 0..450 rotator); none: the heading
    // is reached by the shortest turn.
    std::optional<int> TravelTarget;
    bool CommandSkipped = false;
    // Set with CommandSkipped when the change was within the minimum step (not unreachable).
    bool WithinStep = false;
    bool Activated = false;
    bool Starting = false;
    bool SuppressListenerStart = false;
    bool AnglePending = false;
    QString DdeAzimuthText;
    bool TestRequest = false;
    bool DdeConversationOpen = false;
    bool UpDownHeld = false;
    int AutoButtonHeight = 0, AutoButtonLeft = 0, AutoButtonTop = 0;
    std::array<QString, 3> LptName;
    std::array<quint16, 3> LptAddress = {0, 0, 0};
    std::array<QString, 3> LptAddressText = {QStringLiteral("0000"), QStringLiteral("0000"),
                                             QStringLiteral("0000")};
    bool PortDriverPresent = true;
    bool PortDriverRequired = true;
    quint16 N1mmPort = 12040;
    quint16 N1mmAntenna = 16;
    QString ExeDir, ConfigPath, BackupPath;
    bool ConfigExisted = false;
    std::array<QPushButton *, 6> FavouriteButtons = {};
    QString VersionText = QStringLiteral(" V2.4.1");

    // Shared messages, replaced by the current language's texts.
    QString MsgCannotCreateConfig = QStringLiteral("Can't create Torvanel.ini");
    QString MsgArswinNotRunning = QStringLiteral("ARSWIN must be running !");
    QString MsgPortDriverMissing = QStringLiteral(
        "Parallel port driver (ppdev) is not available.\r\n"
        "It is mandatory when controling an LPT port.\r\n"
        "Please load ppdev and give your user access to /dev/parport*\r\n"
        "and restart TORVANEL.");
    QString MsgKctMissing = QString::fromUtf8("movecom.com non trouvé");
    QString MsgChooseComPort = QStringLiteral("Please choose a COM port for this interface");

    // Lets the next command pass any minimum step.
    void resetLastAzimuth() { LastAzimuth = -10; }
    // The stop side of an interface; north for those without one.
    int stopSide(int rotatorInterface) const;
    // The azimuth offset of an interface; 0 for those without one.
    int offset(int rotatorInterface) const;
    Travel travel(int rotatorInterface) const { return {AZMIN.at(rotatorInterface), AZMAX.at(rotatorInterface)}; }
    // The selected rotator with an overlap: the azimuths it points to over its travel, offset
    // and stop side applied (0..450, or 180..630 stopping at south); none for one turn.
    std::optional<Travel> pointedTravel() const;
    // Where it points on that travel (370 past north); none without an overlap or a position.
    std::optional<int> pointedAzimuth() const;
    // The selected rotator is turned past north (see Travel::inOverlap).
    bool inOverlap() const;
};

Settings &settings();
