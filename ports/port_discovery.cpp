#include "ports/port_discovery.h"

#include <algorithm>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include "platform/serial_names.h"
#include "ports/port_library.h"

namespace ports {

namespace {

// Told without opening the device, since opening a serial port raises its modem lines, which
// resets some controllers: a character device, unless sysfs files it under a class other than
// tty (/dev/null is a mem device). Pseudo-terminals are in no class at all.
bool serialDevice(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const QString subsystem = QFileInfo(QStringLiteral("/sys/dev/char/%1:%2/subsystem")
                                            .arg(major(status.st_rdev))
                                            .arg(minor(status.st_rdev)))
                                  .symLinkTarget();
    return subsystem.isEmpty() || subsystem.endsWith(QLatin1String("/class/tty"));
}

} // namespace

QString addressText(quint16 address)
{
    return QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
}

QStringList presentSerialDevices()
{
    QStringList devices;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        devices.append(port.systemLocation());
    return devices;
}

QStringList NomsPorts(const QString &comportsParent, const QStringList &presentDevices)
{
    QStringList names;
    const QDir comports(comportsParent + QLatin1String("/comports"));
    for (const QString &entry : comports.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        // Only the exact spelling COMn is what resolveComPort looks up.
        const int n = platform::comNumber(entry);
        if (n > 0 && entry == QLatin1String("COM") + QString::number(n) && serialDevice(comports.filePath(entry)))
            names.append(entry);
    }
    for (const QString &device : presentDevices) {
        const int n = platform::comTableNumber(device);
        const QString name = QLatin1String("COM") + QString::number(n);
        // A comports entry, even a dangling one, is where the name leads instead.
        if (n > 0 && !names.contains(name)
            && platform::resolveComPort(comportsParent, name) == device)
            names.append(name);
    }
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

QStringList NomsPorts()
{
    return NomsPorts(platform::comportsParent(), presentSerialDevices());
}

LptPorts LPTportList(int count, LptPorts ports, const QString &inventory)
{
    const auto lptName = [](int index) { return QLatin1String("LPT") + QString::number(index + 1); };
    const QDir inventoryDir(inventory);
    bool found = false;
    // Without the parport module there is no inventory at all, and the earlier entries stay.
    if (inventoryDir.exists() && !inventoryDir.isEmpty()) {
        for (int n = 0; n < std::clamp(count, 0, 3); ++n) {
            ports.LptName[n].clear();
            ports.LptAddressText[n] = addressText(0);
        }
        for (int k : parportNumbers(inventory)) {
            const quint16 address = parportBaseAddress(inventory, k);
            if (address == 0)
                continue;
            // The kernel counts its ports from 0, so parport0 is LPT1; the last port with an
            // address decides whether the library is asked after all.
            found = k < 3;
            if (found) {
                ports.LptName[k] = lptName(k);
                ports.LptAddressText[k] = addressText(address);
            }
        }
    }
    if (found)
        return ports;
    PortLibrary &library = portLibrary();
    for (int n = 0; n < 3; ++n) {
        ports.LptAddress[n] = library.GetLPTPortAddress(n + 1);
        if (ports.LptAddress[n] != 0) {
            ports.LptAddressText[n] = addressText(ports.LptAddress[n]);
            ports.LptName[n] = lptName(n);
        }
    }
    return ports;
}

bool IsZntportOpen(const QString &devices)
{
    return !parportNumbers(devices).isEmpty();
}

} // namespace ports
