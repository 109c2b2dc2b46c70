#include "ui/up_down.h"

#include <QLineEdit>
#include <QToolButton>

UpDown::UpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent)
    : QWidget(parent), buddy(buddy), up(new QToolButton(this)), down(new QToolButton(this)),
      minimum(minimum), maximum(maximum)
{
    for (QToolButton *arrow : {up, down}) {
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
        connect(arrow, &QToolButton::pressed, this, &UpDown::mouseDown);
        connect(arrow, &QToolButton::released, this, [this] {
            if (!up->isDown() && !down->isDown())
                emit mouseUp();
        });
    }
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    connect(up, &QToolButton::clicked, this, [this] { stepBy(+1); });
    connect(down, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

int UpDown::position() const
{
    bool ok = false;
    const int value = buddy->text().toInt(&ok);
    return ok ? qBound(minimum, value, maximum) : lastPosition;
}

void UpDown::setPosition(int value)
{
    lastPosition = qBound(minimum, value, maximum);
    buddy->setText(QString::number(lastPosition));
}

void UpDown::stepBy(int direction)
{
    stepping([&] { setPosition(position() + direction * step); });
}

void UpDown::resizeEvent(QResizeEvent *)
{
    const int half = height() / 2;
    up->setGeometry(0, 0, width(), half);
    down->setGeometry(0, half, width(), height() - half);
}
