#include "ui/azimuth_validator.h"

QValidator::State AzimuthValidator::validate(QString &input, int &position) const
{
    // An empty box is no azimuth yet, not a wrong one.
    if (input.isEmpty())
        return Intermediate;
    for (const QChar c : input) {
        if (c < u'0' || c > u'9')
            return Invalid;
    }
    qsizetype zeros = 0;
    while (zeros < input.size() - 1 && input[zeros] == u'0')
        ++zeros;
    if (input.size() - zeros > 3 || input.mid(zeros).toInt() > 359)
        return Invalid;
    input.remove(0, zeros);
    position = qMax(0, position - int(zeros));
    return Acceptable;
}
