#pragma once

#include <QList>
#include <QString>

// Linux lists its parallel ports as /proc/sys/dev/parport/parport<k> (with the base address in
// base-addr) and serves them to programs as /dev/parport<k>.
namespace ports {

constexpr auto defaultInventory = "/proc/sys/dev/parport";
constexpr auto defaultDevices = "/dev";

// The numbers k of the existing entries parport<k> of a directory, in ascending order.
QList<int> parportNumbers(const QString &directory);

// The first number of parport<k>/base-addr; 0 when absent, unreadable or beyond 16 bits.
quint16 parportBaseAddress(const QString &inventory, int k);

} // namespace ports
