#pragma once

#include "widgets/lcd99_geometry.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

class QPainter;

namespace lcd {
struct Cells;
}

// A short text shown as seven-segment cells, each with a colon and a decimal point, in
// the look of an LCD panel. A change may make the changed segments appear one after the
// other over AnimationDelay milliseconds.
class TLCD99 : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Value READ Value WRITE setValue)
    Q_PROPERTY(int DigitNum READ DigitNum WRITE setDigitNum)
    Q_PROPERTY(int DigitSpacing READ DigitSpacing WRITE setDigitSpacing)
    Q_PROPERTY(int SegmentSize READ SegmentSize WRITE setSegmentSize)
    Q_PROPERTY(int GapX READ GapX WRITE setGapX)
    Q_PROPERTY(int GapY READ GapY WRITE setGapY)
    Q_PROPERTY(QColor OnColor READ OnColor WRITE setOnColor)
    Q_PROPERTY(QColor OffColor READ OffColor WRITE setOffColor)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(bool DoubleBuffer READ DoubleBuffer WRITE setDoubleBuffer)
    Q_PROPERTY(TLCDAnimation Animation READ Animation WRITE setAnimation)
    Q_PROPERTY(int AnimationDelay READ AnimationDelay WRITE setAnimationDelay)
    Q_PROPERTY(int PaintDuration READ PaintDuration)
    Q_PROPERTY(bool IsPainting READ IsPainting)

public:
    enum TLCDAnimation { anNone, anSpiral, anUp, anDown, anLeft, anRight, anRandom };
    Q_ENUM(TLCDAnimation)

    explicit TLCD99(QWidget *parent = nullptr);

    QString Value() const { return fValue; }
    void setValue(const QString &value);

    int DigitNum() const { return fDigitNum; }
    void setDigitNum(int value) { setRepainting(fDigitNum, value); }
    int DigitSpacing() const { return fDigitSpacing; }
    void setDigitSpacing(int value) { setRepainting(fDigitSpacing, value); }
    int SegmentSize() const { return fSegmentSize; }
    void setSegmentSize(int value) { setRepainting(fSegmentSize, value); }
    int GapX() const { return fGapX; }
    void setGapX(int value) { setRepainting(fGapX, value); }
    int GapY() const { return fGapY; }
    void setGapY(int value) { setRepainting(fGapY, value); }
    QColor OnColor() const { return fOnColor; }
    void setOnColor(const QColor &value) { setRepainting(fOnColor, value); }
    QColor OffColor() const { return fOffColor; }
    void setOffColor(const QColor &value) { setRepainting(fOffColor, value); }
    QColor Color() const { return fColor; }
    void setColor(const QColor &value) { setRepainting(fColor, value); }

    bool DoubleBuffer() const { return fDoubleBuffer; }
    void setDoubleBuffer(bool value) { fDoubleBuffer = value; }
    TLCDAnimation Animation() const { return fAnimation; }
    void setAnimation(TLCDAnimation value) { fAnimation = value; }
    int AnimationDelay() const { return fAnimationDelay; }
    void setAnimationDelay(int value) { fAnimationDelay = value; }

    // Milliseconds the last paint took, its animation included.
    int PaintDuration() const { return fPaintDuration; }
    // True from the start of a paint to the last step of its animation.
    bool IsPainting() const { return fIsPainting; }

protected:
    void paintEvent(QPaintEvent *event) override;
    // The off-screen picture of one paint. A null image (out of memory) makes that paint
    // draw straight on the window.
    virtual QImage createBuffer(const QSize &size) const;

private:
    template <typename T>
    void setRepainting(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        update();
    }

    void beginPaint();
    void scheduleStep();
    void nextStep();
    void endPaint();
    lcd::Metrics metrics() const;
    void drawPicture(QPainter &canvas) const;
    void drawPass(QPainter &canvas, const lcd::Cells &cells, const lcd::Cells *compared,
                  TLCDAnimation kind, int steps) const;

    QString fValue;
    int fDigitNum = 4;
    int fDigitSpacing = 5;
    int fSegmentSize = 2;
    int fGapX = 2;
    int fGapY = 2;
    QColor fOnColor = QColor(0, 255, 0);
    QColor fOffColor = Qt::black;
    QColor fColor = Qt::black;
    bool fDoubleBuffer = true;
    TLCDAnimation fAnimation = anNone;
    int fAnimationDelay = 0;
    int fPaintDuration = 0;

    QString fOldValue;
    bool fIsChanging = false;
    bool fIsPainting = false;

    // One paint, which an animation spreads over several paint events: each step is
    // shown by a paint event of its own, as nothing drawn inside one event reaches the
    // screen before it returns.
    QString fPaintedValue;
    TLCDAnimation fPaintKind = anNone;
    int fStepsShown = 0;
    qint64 fStepWait = 0;
    qint64 fOvershoot = 0;
    qint64 fStepStart = 0;
    QElapsedTimer fPaintClock;
    QTimer fStepTimer;
};
