#include "sources/dde_text.h"

#include "sources/whole_number.h"

namespace dde {

QString itemText(const QByteArray &data)
{
    const qsizetype zero = data.indexOf('\0');
    QString text = QString::fromLatin1(zero < 0 ? data : data.first(zero));
    for (QChar &c : text) {
        if (c.unicode() < 32)
            c = u' ';
    }
    return text;
}

AzimuthText readAzimuth(const QString &itemText)
{
    AzimuthText result{itemText, std::nullopt};
    if (result.text.isEmpty())
        return result;
    result.text.remove(u' ');
    result.text.chop(1);
    if (!result.text.isEmpty())
        result.azimuth = wholeNumber(result.text);
    return result;
}

} // namespace dde
