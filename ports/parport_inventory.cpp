#include "ports/parport_inventory.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ports {

QList<int> parportNumbers(const QString &directory)
{
    const QLatin1String prefix("parport");
    const QDir dir(directory);
    QList<int> numbers;
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (!name.startsWith(prefix))
            continue;
        const QString rest = name.mid(prefix.size());
        bool ok = false;
        const int k = rest.toInt(&ok);
        // parport01 or parport+1 would never be the kernel's name for port 1.
        if (ok && k >= 0 && QString::number(k) == rest && QFileInfo(dir.filePath(name)).exists())
            numbers.append(k);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

quint16 parportBaseAddress(const QString &inventory, int k)
{
    QFile file(inventory + QLatin1String("/parport") + QString::number(k) + QLatin1String("/base-addr"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    // The file holds the base and the extended-mode base: "888\t1912".
    const QList<QByteArray> fields = file.read(256).simplified().split(' ');
    bool ok = false;
    const uint address = fields.first().toUInt(&ok, 10);
    return ok && address <= 0xFFFF ? quint16(address) : 0;
}

} // namespace ports
