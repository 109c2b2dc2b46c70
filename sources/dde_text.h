#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

namespace dde {

// The text of an item's data: up to its first zero byte, Latin-1, every control character 1 to 31
// a blank, so that the text is always one line.
QString itemText(const QByteArray &data);

struct AzimuthText {
    QString text;                // what is kept as the last azimuth text received
    std::optional<int> azimuth;  // the position to set, when the text gives one
};

// Reads an item's text as the DDE servers publish the azimuth: the blanks removed, then the last
// character (a unit such as the degree sign) dropped, the rest a whole number. No range test.
AzimuthText readAzimuth(const QString &itemText);

} // namespace dde
