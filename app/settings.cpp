#include "app/settings.h"

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
