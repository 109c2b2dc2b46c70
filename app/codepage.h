#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows-1252, the 8-bit code page that Western Windows writes its text files in: Latin-1 with
// printable characters (€, œ, ’ ...) in 0x80 to 0x9F. The five bytes that code page leaves
// undefined stand for the control characters of the same number, so every byte survives a round
// trip.
QString fromWindows1252(QByteArrayView bytes);
// A character the code page cannot hold becomes "?", as Windows writes it.
QByteArray toWindows1252(QStringView text);
// Whether every character of the text has its own byte in the code page.
bool fitsWindows1252(QStringView text);
