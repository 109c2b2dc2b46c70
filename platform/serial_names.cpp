#include "platform/serial_names.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace platform {

namespace {
QString parentOverride;

struct DeviceRange {
    int firstCom;
    const char *prefix;
};
constexpr DeviceRange deviceRanges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int devicesPerRange = 32;
}

int comNumber(const QString &name)
{
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int n = name.mid(3).toInt(&ok);
    return ok && n >= 1 && name.mid(3).at(0).isDigit() ? n : 0;
}

QString comPortName(int portSetting)
{
    return QStringLiteral("COM") + QString::number(portSetting + 1);
}

QString comTableDevice(int n)
{
    for (const DeviceRange &range : deviceRanges) {
        if (n >= range.firstCom && n < range.firstCom + devicesPerRange)
            return QLatin1String(range.prefix) + QString::number(n - range.firstCom);
    }
    return QString();
}

int comTableNumber(const QString &device)
{
    for (const DeviceRange &range : deviceRanges) {
        const QLatin1String prefix(range.prefix);
        bool ok = false;
        const int n = range.firstCom + (device.startsWith(prefix) ? device.mid(prefix.size()).toInt(&ok) : 0);
        if (ok && comTableDevice(n) == device)
            return n;
    }
    return 0;
}

QString resolveComPort(const QString &parent, const QString &name)
{
    const int n = comNumber(name);
    if (n == 0)
        return name;
    const QString link = parent + QLatin1String("/comports/COM") + QString::number(n);
    if (QFileInfo(link).exists() || QFileInfo(link).isSymLink())
        return link;
    return comTableDevice(n);
}

QString comportsParent()
{
    return parentOverride.isEmpty() ? QCoreApplication::applicationDirPath() : parentOverride;
}

void setComportsParent(const QString &directory)
{
    parentOverride = directory;
}

} // namespace platform
