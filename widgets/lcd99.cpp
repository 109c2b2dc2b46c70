#include "widgets/lcd99.h"

#include "widgets/lcd99_characters.h"

#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using SegmentOrder = std::array<int, lcd::segmentCount>;

const SegmentOrder &segmentOrder(TLCD99::TLCDAnimation kind)
{
    static constexpr SegmentOrder spiral{8, 4, 2, 1, 3, 6, 7, 5};
    static constexpr SegmentOrder up{7, 6, 5, 8, 4, 3, 2, 1};
    static constexpr SegmentOrder down{1, 2, 3, 8, 4, 5, 6, 7};
    static constexpr SegmentOrder left{6, 3, 7, 8, 4, 1, 5, 2};
    static constexpr SegmentOrder right{2, 5, 1, 8, 4, 7, 3, 6};
    switch (kind) {
    case TLCD99::anSpiral: return spiral;
    case TLCD99::anUp: return up;
    case TLCD99::anLeft: return left;
    case TLCD99::anRight: return right;
    default: return down; // a change drawn without animation still needs an order
    }
}

void drawSegment(QPainter &canvas, const lcd::CellShapes &shapes, int segment, const QColor &colour)
{
    canvas.setPen(colour);
    canvas.setBrush(colour);
    if (segment <= 7) {
        canvas.drawPolygon(shapes.segments[segment - 1]);
        return;
    }
    // The outline's pixels lie right of and below its path: one pixel less keeps the dot
    // inside its box.
    for (const QRect &dot : shapes.colon)
        if (!dot.isEmpty())
            canvas.drawEllipse(dot.adjusted(0, 0, -1, -1));
}

} // namespace

TLCD99::TLCD99(QWidget *parent) : QWidget(parent)
{
    // The paint covers every pixel, so the background is never erased first (no flicker).
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(92, 34);
    fStepTimer.setSingleShot(true);
    fStepTimer.setTimerType(Qt::PreciseTimer);
    connect(&fStepTimer, &QTimer::timeout, this, &TLCD99::nextStep);
}

void TLCD99::setValue(const QString &value)
{
    if (value == fValue)
        return;
    fValue = lcd::normalisedValue(value);
    fIsChanging = true;
    update();
}

QImage TLCD99::createBuffer(const QSize &size) const
{
    return QImage(size, QImage::Format_RGB32);
}

void TLCD99::paintEvent(QPaintEvent *)
{
    // A paint event during an animation shows its current step and starts nothing new.
    const bool starting = !fIsPainting;
    if (starting)
        beginPaint();

    QPainter window(this);
    QImage buffer = fDoubleBuffer ? createBuffer(size()) : QImage();
    if (buffer.isNull()) {
        drawPicture(window);
    } else {
        QPainter canvas(&buffer);
        drawPicture(canvas);
        canvas.end();
        window.drawImage(0, 0, buffer);
    }

    if (starting && fStepsShown == lcd::segmentCount)
        endPaint();
}

void TLCD99::beginPaint()
{
    fIsPainting = true;
    fPaintClock.start();
    fPaintedValue = fValue;
    fPaintKind = anNone;
    fStepsShown = lcd::segmentCount;
    if (!fIsChanging)
        return;

    fPaintKind = fAnimation == anRandom ? TLCDAnimation(anSpiral + QRandomGenerator::global()->bounded(5))
                                        : fAnimation;
    // Seven waits separate the eight steps.
    fStepWait = std::max<qint64>(0, (fAnimationDelay - fPaintClock.elapsed()) / 7);
    if (fPaintKind != anNone && fStepWait > 0) {
        fStepsShown = 1;
        fStepStart = 0;
        fOvershoot = 0;
        scheduleStep();
    }
}

void TLCD99::scheduleStep()
{
    const qint64 due = fStepStart + fStepWait - fOvershoot;
    fStepTimer.start(int(std::max<qint64>(0, due - fPaintClock.elapsed())));
}

void TLCD99::nextStep()
{
    const qint64 now = fPaintClock.elapsed();
    // A late step shortens the next wait, so the whole animation keeps to its delay.
    fOvershoot = std::clamp<qint64>(now - (fStepStart + fStepWait - fOvershoot), 0, fStepWait);
    fStepStart = now;
    ++fStepsShown;
    repaint();
    if (fStepsShown < lcd::segmentCount)
        scheduleStep();
    else
        endPaint();
}

void TLCD99::endPaint()
{
    fOldValue = fPaintedValue;
    // A value set while an animation ran has not been drawn yet: paint again, not lose it.
    fIsChanging = fValue != fPaintedValue;
    fIsPainting = false;
    fPaintDuration = int(fPaintClock.elapsed());
    if (fIsChanging)
        update();
}

lcd::Metrics TLCD99::metrics() const
{
    return {width(), height(), fDigitNum, fDigitSpacing, fSegmentSize, fGapX, fGapY};
}

void TLCD99::drawPicture(QPainter &canvas) const
{
    canvas.fillRect(rect(), fColor);
    if (fPaintedValue.isEmpty()) {
        drawPass(canvas, lcd::splitCells(QString(), fDigitNum), nullptr, fPaintKind, fStepsShown);
        return;
    }
    const lcd::Cells old = lcd::splitCells(fOldValue, fDigitNum);
    drawPass(canvas, old, nullptr, anNone, lcd::segmentCount);
    drawPass(canvas, lcd::splitCells(fPaintedValue, fDigitNum), &old, fPaintKind, fStepsShown);
}

void TLCD99::drawPass(QPainter &canvas, const lcd::Cells &cells, const lcd::Cells *compared,
                      TLCDAnimation kind, int steps) const
{
    const lcd::Metrics m = metrics();
    const int count = int(cells.characters.size());
    std::vector<lcd::CellShapes> shapes;
    shapes.reserve(count);
    for (int cell = 1; cell <= count; ++cell)
        shapes.push_back(lcd::cellShapes(m, cell));

    for (int i = 0; i < count; ++i) {
        const QChar point = cells.points[i];
        if (compared && point == compared->points[i])
            continue;
        const QRect &square = shapes[i].point;
        if (!square.isEmpty())
            canvas.fillRect(square, point == u'.' ? fOnColor : fOffColor);
    }

    const SegmentOrder &order = segmentOrder(kind);
    for (int step = 0; step < steps; ++step) {
        const int segment = order[step];
        for (int i = 0; i < count; ++i) {
            const QChar c = cells.characters[i];
            if (compared && c == compared->characters[i])
                continue;
            drawSegment(canvas, shapes[i], segment, lcd::isLit(c, segment) ? fOnColor : fOffColor);
        }
    }
}
