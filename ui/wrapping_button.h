#pragma once

#include <QPushButton>

// A push button whose caption breaks into lines at blanks to fit, with no margins.
class WrappingButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};
