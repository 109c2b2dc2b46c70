#pragma once

#include <QValidator>

// What the operator may type into the azimuth box: a whole azimuth 0 to 359 of at most three
// digits. A leading zero is dropped as it is typed, so the box always holds the number the
// display shows and the next command carries ("0" then 1 2 3 gives 123).
class AzimuthValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &position) const override;
};
