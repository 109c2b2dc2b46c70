#pragma once

#include <array>
#include <QStringList>

#include "ports/parport_inventory.h"

// What the computer offers: serial port names, parallel port addresses, the port driver.
// The results are plain values; the caller keeps them in the settings.
namespace ports {

// LPT1 to LPT3, named and indexed as in the settings.
struct LptPorts {
    std::array<QString, 3> LptName;
    std::array<QString, 3> LptAddressText = {QStringLiteral("0000"), QStringLiteral("0000"),
                                             QStringLiteral("0000")};
    std::array<quint16, 3> LptAddress = {0, 0, 0};
};

// An address as exactly four upper-case hexadecimal digits ("0378").
QString addressText(quint16 address);

// The serial devices the system reports present.
QStringList presentSerialDevices();

// The COM names to offer, sorted as text without regard to case (COM10 before COM2): every
// COMn of comportsParent/comports whose target is a serial device, and every COMn of the table
// whose device is present and not overridden by a comports entry; each name once.
QStringList NomsPorts(const QString &comportsParent, const QStringList &presentDevices);
// The same for the program's own comports folder and the devices present.
QStringList NomsPorts();

// The entries of ports, updated from the inventory: the first count entries are reset and the
// ports found there filled in; when it lists none, GetLPTPortAddress of the process-wide
// library fills LPT1 to LPT3 instead.
LptPorts LPTportList(int count, LptPorts ports = {}, const QString &inventory = QLatin1String(defaultInventory));

// True when the parallel-port driver is usable: a parport device exists.
bool IsZntportOpen(const QString &devices = QLatin1String(defaultDevices));

} // namespace ports
