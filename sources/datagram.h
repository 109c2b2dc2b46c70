#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

// The text of a logger datagram, as the logger means it: one character per byte, 7-bit ASCII.
namespace datagram {

QString text(const QByteArray &bytes);

// The azimuth the datagram asks for: the whole degrees between the first "<goazi>" and the first
// "</goazi>", the fraction dropped, within 0 to 360; nothing when the datagram is to be ignored.
std::optional<int> goAzimuth(const QByteArray &bytes);

// The rotor the datagram names: the text between the first "<rotor>" and the first "</rotor>",
// without blanks around it; empty when there is none.
QString rotorName(const QByteArray &bytes);

// Whether the datagram holds a stop request ("<stop" anywhere in its text).
bool holdsStop(const QByteArray &bytes);

} // namespace datagram
