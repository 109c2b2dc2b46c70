#include "app/codepage.h"

#include <array>

namespace {

// The characters of bytes 0x80 to 0x9F; the undefined bytes keep their own number.
constexpr std::array<char16_t, 32> upperControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte of a character, or none when the code page lacks it.
int encode(char16_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return character;
    for (std::size_t i = 0; i < upperControls.size(); ++i) {
        if (upperControls[i] == character)
            return int(0x80 + i);
    }
    return -1;
}

} // namespace

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        *out++ = QChar(code >= 0x80 && code < 0xA0 ? upperControls[code - 0x80] : char16_t(code));
    }
    return text;
}

QByteArray toWindows1252(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar character = text[i];
        // A character beyond the 16-bit range is one "?", not two.
        if (character.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const int byte = encode(character.unicode());
        bytes.append(byte < 0 ? '?' : char(byte));
    }
    return bytes;
}

bool fitsWindows1252(QStringView text)
{
    for (const QChar character : text) {
        if (encode(character.unicode()) < 0)
            return false;
    }
    return true;
}
