#include "sources/datagram.h"

#include "sources/whole_number.h"

namespace datagram {

QString text(const QByteArray &bytes)
{
    QString result(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        // A byte outside 7-bit ASCII has no character there; it must not pass for a digit or a tag.
        result[i] = byte < 0x80 ? QChar(byte) : QChar(u'?');
    }
    return result;
}

std::optional<int> goAzimuth(const QByteArray &bytes)
{
    static const QString open = QStringLiteral("<goazi>");
    static const QString close = QStringLiteral("</goazi>");
    const QString all = text(bytes);
    const qsizetype start = all.indexOf(open);
    const qsizetype end = all.indexOf(close);
    if (start < 0 || end <= start)
        return std::nullopt;
    QStringView value = QStringView(all).sliced(start + open.size(), end - start - open.size());
    // Whichever decimal separator the logger uses, the fraction is dropped, never rounded.
    for (const char16_t separator : {u'.', u','}) {
        const qsizetype at = value.indexOf(separator);
        if (at >= 0)
            value.truncate(at);
    }
    const auto azimuth = wholeNumber(value);
    if (!azimuth || *azimuth < 0 || *azimuth > 360)
        return std::nullopt;
    return azimuth;
}

QString rotorName(const QByteArray &bytes)
{
    static const QString open = QStringLiteral("<rotor>");
    static const QString close = QStringLiteral("</rotor>");
    const QString all = text(bytes);
    const qsizetype start = all.indexOf(open);
    const qsizetype end = all.indexOf(close);
    if (start < 0 || end <= start)
        return {};
    return all.sliced(start + open.size(), end - start - open.size()).trimmed();
}

bool holdsStop(const QByteArray &bytes)
{
    return text(bytes).contains(QLatin1String("<stop"));
}

} // namespace datagram
