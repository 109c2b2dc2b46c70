#include "app/title.h"

#include <cmath>

#include "app/settings.h"

namespace {

enum class PortKind { None, Lpt, Com };

struct TitleRow {
    const char *name;
    // One interface is spelt differently while its port is not set.
    const char *nameWithoutPort;
    PortKind kind;
    int Settings::*port;
    // Null where the controller always runs at 9600.
    BaudSetting Settings::*baud;
};

// Indexed by ANT.
const TitleRow rows[InterfaceCount] = {
    {"PourSat", "PourSat", PortKind::Lpt, &Settings::LPT_POURSAT, nullptr},
    {"FODTrack", "FODTRack", PortKind::Lpt, &Settings::LPT_FODTRACK, nullptr},
    {"EA4TX /ARSWIN", nullptr, PortKind::None, nullptr, nullptr},
    {"GS232", "GS232", PortKind::Com, &Settings::PORT_GS232, &Settings::BAUD_GS232},
    {"EasyComm", "EasyComm", PortKind::Com, &Settings::PORT_EASYCOMM, &Settings::BAUD_EASYCOMM},
    {"TrakBox", "TrakBox", PortKind::Com, &Settings::PORT_TRAKBOX, &Settings::BAUD_TRAKBOX},
    {"KCT", nullptr, PortKind::None, nullptr, nullptr},
    {"ProSisTel", "ProSisTel", PortKind::Com, &Settings::PORT_PROSISTEL, nullptr},
    {"DCU1", "DCU1", PortKind::Com, &Settings::PORT_DCU1, &Settings::BAUD_DCU1},
    {"M2ORION", "M2ORION", PortKind::Com, &Settings::PORT_M2ORION, nullptr},
    {"EGIS", "EGIS", PortKind::Com, &Settings::PORT_EGIS, nullptr},
    {"Hamlib", nullptr, PortKind::None, nullptr, nullptr},
};

QString lptName(const Settings &s, int port)
{
    // A port number outside the three known ports names no port.
    return port >= 0 && port < int(s.LptName.size()) ? s.LptName[port] : QString();
}

} // namespace

QString titleText(const Settings &s)
{
    QString title = QStringLiteral("TORVANEL") + s.VersionText + QStringLiteral("[DX]");
    if (s.ANT < 0 || s.ANT >= InterfaceCount)
        return title;
    const TitleRow &row = rows[s.ANT];
    const int port = row.port ? s.*row.port : -1;
    const bool portSet = !row.port || port != -1;
    title += QStringLiteral(" - ") + QLatin1String(portSet ? row.name : row.nameWithoutPort);
    switch (row.kind) {
    case PortKind::None:
        break;
    case PortKind::Lpt:
        title += QStringLiteral(" / ") + (portSet ? lptName(s, port) : QStringLiteral("no LPT"));
        break;
    case PortKind::Com:
        title += portSet ? QStringLiteral(" / COM%1 / %2")
                               .arg(QString::number(port + 1),
                                    row.baud ? (s.*row.baud).text : QStringLiteral("9600"))
                         : QStringLiteral(" / no COM");
        break;
    }
    if (portSet && s.PARKING == s.ANT + 1) {
        const auto parking = static_cast<long long>(std::nearbyintl(s.AZIMUT_PARKING));
        title += QStringLiteral(" / Parking=%1°").arg(parking);
    }
    // Which turn the cable is on matters before the next long turn.
    if (s.inOverlap())
        title += QStringLiteral(" / %1° (overlap)").arg(*s.pointedAzimuth());
    return title;
}
