#include "ui/pictures.h"

#include <QPainter>
#include <QRadialGradient>

namespace pictures {

QPixmap lamp(bool on)
{
    QPixmap picture(30, 30);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(128, 128, 128));
    painter.drawEllipse(QRectF(1, 1, 28, 28));
    QRadialGradient glass(QPointF(12, 11), 14);
    glass.setColorAt(0, on ? QColor(255, 160, 160) : QColor(160, 40, 40));
    glass.setColorAt(0.45, on ? QColor(255, 0, 0) : QColor(128, 0, 0));
    glass.setColorAt(1, on ? QColor(200, 0, 0) : QColor(70, 0, 0));
    painter.setBrush(glass);
    painter.drawEllipse(QRectF(4, 4, 22, 22));
    return picture;
}

} // namespace pictures
