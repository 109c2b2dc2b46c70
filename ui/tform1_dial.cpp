// The compass dial of the main window.
#include "ui/tform1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "app/settings.h"
#include "rotator/tracking.h"
#include "sources/angle_window.h"
#include "ui/dial.h"
#include "widgets/lcd99.h"

void TForm1::cadran()
{
    drawNeedle();
    echoToAngleWindow();
}

void TForm1::drawNeedle()
{
    bool ok = false;
    const int azimuth = EditAzimut->text().toInt(&ok);
    // Drawn on the clean dial, so no trace of the previous needle remains.
    QPixmap canvas = Image2->pixmap();
    QPainter painter(&canvas);
    const Settings &s = settings();
    if (const std::optional<Travel> travel = s.pointedTravel()) {
        // Qt counts sixteenths of a degree counter-clockwise from three o'clock.
        const int from = travel->minimum + 360;
        painter.setPen(QPen(dial::Overlap, 3, Qt::SolidLine, Qt::FlatCap));
        painter.drawArc(QRect(dial::Centre.x() - dial::RingRadius, dial::Centre.y() - dial::RingRadius,
                              2 * dial::RingRadius, 2 * dial::RingRadius),
                        (90 - from) * 16, -(travel->maximum - from) * 16);
    }
    // Where the rotator says it points, under the needle of where it is sent.
    if (const std::optional<double> measured = hamlib->measuredAzimuth()) {
        painter.setPen(QPen(dial::MeasuredNeedle, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(dial::Centre, dial::needleEnd(int(tracking::roundHalfEven(*measured))));
    }
    // An empty box is no azimuth: no needle for it.
    if (ok) {
        painter.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(dial::Centre, dial::needleEnd(azimuth));
        // Halfway along, clear of the arc near the ring.
        if (s.inOverlap()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(dial::Overlap);
            painter.drawEllipse((QPointF(dial::Centre) + QPointF(dial::needleEnd(azimuth))) / 2, 3, 3);
        }
    }
    painter.end();
    Image1->setPixmap(canvas);
}

int TForm1::knownAzimuth() const
{
    if (const std::optional<double> measured = hamlib->measuredAzimuth())
        return int(tracking::roundHalfEven(*measured));
    return engine->lastSent().value_or(settings().Activated ? shownAtStart : LCDAzi->Value().toInt());
}

void TForm1::echoToAngleWindow()
{
    bool ok = false;
    const int azimuth = EditAzimut->text().toInt(&ok);
    if (ok && FormAngle && !settings().Starting)
        FormAngle->echo(azimuth);
}
