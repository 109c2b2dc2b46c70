#include "widgets/lcd99.h"
#include "widgets/lcd99_characters.h"
#include "widgets/lcd99_geometry.h"

#include <QScreen>
#include <QtTest>

namespace {

// The main window's instance: 92 x 35, three cells, thick segments.
const lcd::Metrics azi{92, 35, 3, 5, 3, 2, 2};

const QColor lit(0, 255, 0);
const QColor unlit(64, 64, 64);
const QColor background(0, 0, 128);

void makeAzi(TLCD99 &lcd)
{
    lcd.resize(azi.width, azi.height);
    lcd.setDigitNum(azi.digitNum);
    lcd.setSegmentSize(azi.segmentSize);
    // Distinct from the defaults so that unlit elements and background can be told apart.
    lcd.setOffColor(unlit);
    lcd.setColor(background);
}

QChar stateOf(const QColor &colour)
{
    return colour == lit ? u'L' : colour == unlit ? u'o' : colour == background ? u'b' : u'?';
}

// What the window shows now, without painting it again (a grab() would paint afresh).
QImage onScreen(const TLCD99 &lcd)
{
    return lcd.screen()->grabWindow(lcd.winId()).toImage();
}

// Per cell: the decimal point, then segments 1 to 8, each L (lit), o (unlit) or b (not drawn).
QString picture(const QImage &image)
{
    QString result;
    for (int cell = 1; cell <= azi.digitNum; ++cell) {
        const lcd::CellShapes shapes = lcd::cellShapes(azi, cell);
        result += stateOf(image.pixelColor(shapes.point.center()));
        for (const QPolygon &segment : shapes.segments)
            result += stateOf(image.pixelColor(segment.boundingRect().center()));
        const QChar upper = stateOf(image.pixelColor(shapes.colon[0].center()));
        const QChar lower = stateOf(image.pixelColor(shapes.colon[1].center()));
        result += upper == lower ? upper : u'?';
        result += u'|';
    }
    return result;
}

// The picture after `steps` steps of the change from `old` to `now` in the given order.
QString expectedPicture(const QString &old, const QString &now, const QList<int> &order, int steps)
{
    const QList<int> drawn = order.first(steps);
    const lcd::Cells before = lcd::splitCells(old, azi.digitNum);
    const lcd::Cells after = lcd::splitCells(now, azi.digitNum);
    const auto state = [](QChar c, int segment) { return lcd::isLit(c, segment) ? u'L' : u'o'; };
    QString result;
    for (int i = 0; i < azi.digitNum; ++i) {
        if (now.isEmpty()) {
            result += u'o';
            for (int segment = 1; segment <= lcd::segmentCount; ++segment)
                result += drawn.contains(segment) ? u'o' : u'b';
        } else {
            result += after.points[i] == u'.' ? u'L' : u'o';
            const bool changed = before.characters[i] != after.characters[i];
            for (int segment = 1; segment <= lcd::segmentCount; ++segment)
                result += changed && drawn.contains(segment) ? state(after.characters[i], segment)
                                                             : state(before.characters[i], segment);
        }
        result += u'|';
    }
    return result;
}

class ProbedLcd : public TLCD99
{
public:
    bool refuseBuffer = false;
    mutable int buffersAsked = 0;

protected:
    QImage createBuffer(const QSize &size) const override
    {
        ++buffersAsked;
        return refuseBuffer ? QImage() : TLCD99::createBuffer(size);
    }
};

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

const QList<int> spiral{8, 4, 2, 1, 3, 6, 7, 5};
const QList<int> up{7, 6, 5, 8, 4, 3, 2, 1};
const QList<int> down{1, 2, 3, 8, 4, 5, 6, 7};
const QList<int> left{6, 3, 7, 8, 4, 1, 5, 2};
const QList<int> right{2, 5, 1, 8, 4, 7, 3, 6};

} // namespace

class TestLcd99 : public QObject
{
    Q_OBJECT

private slots:
    void normalisedValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("digits kept") << "359" << "359";
        QTest::newRow("lower case raised") << "ab" << "AB";
        QTest::newRow("plus blanks the display") << "a+b" << "";
        QTest::newRow("non-ASCII letter blanks") << "\u00e9" << "";
        QTest::newRow("trailing point dropped") << "12." << "12";
        QTest::newRow("only one trailing point dropped") << "1.." << "1.";
        QTest::newRow("lone point becomes empty") << "." << "";
        QTest::newRow("minus, colon, blank, inner point") << "-1: 2.5" << "-1: 2.5";
    }
    void normalisedValue()
    {
        QFETCH(QString, value);
        QFETCH(QString, stored);
        QCOMPARE(lcd::normalisedValue(value), stored);
    }

    void splitCells_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("digitNum");
        QTest::addColumn<QString>("characters");
        QTest::addColumn<QString>("points");
        QTest::newRow("45 right-aligned") << "45" << 3 << " 45" << "   ";
        QTest::newRow("minus one") << "-1" << 3 << " -1" << "   ";
        QTest::newRow("point between 1 and 5") << "1.5" << 2 << "15" << " .";
        QTest::newRow("point padded with its cell") << "1.5" << 3 << " 15" << "  .";
        QTest::newRow("leading point") << ".5" << 3 << "  5" << "  .";
        QTest::newRow("two points make a blank cell") << "1..5" << 3 << "1 5" << " ..";
        QTest::newRow("longer value keeps its first cells") << "1.2.3.4" << 3 << "123" << " ..";
        QTest::newRow("point of no cell not drawn") << "1." << 3 << "  1" << "   ";
        QTest::newRow("empty is all blank") << "" << 3 << "   " << "   ";
        QTest::newRow("no cells") << "12" << 0 << "" << "";
    }
    void splitCells()
    {
        QFETCH(QString, value);
        QFETCH(int, digitNum);
        QFETCH(QString, characters);
        QFETCH(QString, points);
        const lcd::Cells cells = lcd::splitCells(value, digitNum);
        QCOMPARE(cells.characters, characters);
        QCOMPARE(cells.points, points);
    }

    void segmentOutlines_data()
    {
        QTest::addColumn<int>("segment");
        QTest::addColumn<QPolygon>("outline");
        QTest::newRow("top") << 1 << QPolygon({{8, 1}, {9, 0}, {27, 0}, {28, 1}, {25, 3}, {11, 3}});
        QTest::newRow("upper left") << 2 << QPolygon({{7, 2}, {6, 3}, {6, 14}, {7, 15}, {9, 12}, {9, 5}});
        QTest::newRow("middle") << 4 << QPolygon({{8, 18}, {11, 16}, {25, 16}, {28, 18}, {25, 19}, {11, 19}});
        QTest::newRow("lower right") << 6 << QPolygon({{29, 19}, {30, 20}, {30, 31}, {29, 32}, {27, 29}, {27, 22}});
        QTest::newRow("bottom") << 7 << QPolygon({{8, 33}, {9, 34}, {27, 34}, {28, 33}, {25, 31}, {11, 31}});
    }
    void segmentOutlines()
    {
        QFETCH(int, segment);
        QFETCH(QPolygon, outline);
        QCOMPARE(lcd::cellShapes(azi, 1).segments[segment - 1], outline);
    }

    void colonAndPoint()
    {
        // Boxes given by their exclusive right and bottom edges.
        const auto box = [](int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); };
        const lcd::CellShapes first = lcd::cellShapes(azi, 1);
        QCOMPARE(first.colon[0], box(15, 9, 21, 13));
        QCOMPARE(first.colon[1], box(15, 21, 21, 25));
        QCOMPARE(lcd::cellShapes(azi, 2).point, box(32, 31, 35, 34));
    }

    void pixels_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("888: top corner") << "888" << QPoint(9, 0) << lit;
        QTest::newRow("888: upper left tip") << "888" << QPoint(6, 3) << lit;
        QTest::newRow("888: middle point") << "888" << QPoint(8, 18) << lit;
        QTest::newRow("888: lower right tip") << "888" << QPoint(29, 32) << lit;
        QTest::newRow("888: colon unlit") << "888" << QPoint(18, 11) << unlit;
        QTest::newRow("888: gap is background") << "888" << QPoint(3, 10) << background;
        QTest::newRow("888: beside the colon") << "888" << QPoint(21, 11) << background;
        QTest::newRow("colon: upper dot left") << ":  " << QPoint(15, 11) << lit;
        QTest::newRow("colon: upper dot top") << ":  " << QPoint(18, 9) << lit;
        QTest::newRow("colon: below lower dot") << ":  " << QPoint(18, 25) << background;
        QTest::newRow("point of cell 2: corners") << "8.88" << QPoint(34, 33) << lit;
        QTest::newRow("point of cell 2: right edge excluded") << "8.88" << QPoint(35, 33) << background;
        QTest::newRow("1.5: point before 5") << "1.5" << QPoint(63, 32) << lit;
        QTest::newRow("12. drops its point") << "12." << QPoint(63, 32) << unlit;
        QTest::newRow("45: first cell blank") << "45" << QPoint(18, 17) << unlit;
        QTest::newRow("-1: minus in cell 2") << "-1" << QPoint(48, 17) << lit;
        QTest::newRow("-1: one in cell 3") << "-1" << QPoint(88, 8) << lit;
        QTest::newRow("1234: 3 in last cell") << "1234" << QPoint(78, 1) << lit;
        QTest::newRow("a+b: blank") << "a+b" << QPoint(78, 17) << unlit;
    }
    void pixels()
    {
        QFETCH(QString, value);
        QFETCH(QPoint, at);
        QFETCH(QColor, colour);
        TLCD99 lcd;
        makeAzi(lcd);
        lcd.setValue(value);
        QCOMPARE(lcd.grab().toImage().pixelColor(at), colour);
    }

    void characters_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("segments"); // point, segments 1 to 8 of the last cell
        QTest::newRow("0") << "0" << "oLLLoLLLo";
        QTest::newRow("4") << "4" << "ooLLLoLoo";
        QTest::newRow("colon") << ":" << "ooooooooL";
        QTest::newRow("A") << "A" << "oLLLLLLoo";
        QTest::newRow("lower-case h") << "h" << "ooLoLLLoo";
        QTest::newRow("blank") << " " << "ooooooooo";
    }
    void characters()
    {
        QFETCH(QString, value);
        QFETCH(QString, segments);
        TLCD99 lcd;
        makeAzi(lcd);
        lcd.setValue(value);
        QCOMPARE(picture(lcd.grab().toImage()).section(u'|', 2, 2), segments);
    }

    void buffering_data()
    {
        QTest::addColumn<bool>("doubleBuffer");
        QTest::addColumn<bool>("refuseBuffer");
        QTest::newRow("off-screen buffer") << true << false;
        QTest::newRow("straight to the window") << false << false;
        QTest::newRow("buffer refused, falls back") << true << true;
    }
    void buffering()
    {
        QFETCH(bool, doubleBuffer);
        QFETCH(bool, refuseBuffer);
        ProbedLcd lcd;
        makeAzi(lcd);
        lcd.setDoubleBuffer(doubleBuffer);
        lcd.refuseBuffer = refuseBuffer;
        lcd.setValue("1.5");
        QCOMPARE(picture(lcd.grab().toImage()), expectedPicture("", "1.5", down, 8));
        const int asked = lcd.buffersAsked;
        QCOMPARE(asked > 0, doubleBuffer);

        // A refused buffer is asked for again at the next paint.
        lcd.setValue("-8:");
        QCOMPARE(picture(lcd.grab().toImage()), expectedPicture("1.5", "-8:", down, 8));
        QCOMPARE(lcd.DoubleBuffer(), doubleBuffer);
        QCOMPARE(lcd.buffersAsked > asked, doubleBuffer);
    }

    void repaintOnlyOnChange_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("paints");
        QTest::newRow("same value again") << "12" << 0;
        QTest::newRow("another value") << "13" << 1;
    }
    void repaintOnlyOnChange()
    {
        QFETCH(QString, second);
        QFETCH(int, paints);
        QWidget window;
        TLCD99 lcd(&window);
        QWidget marker(&window);
        marker.setGeometry(0, 40, 10, 10);
        window.resize(100, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        lcd.setValue("12");
        lcd.repaint();

        PaintCounter lcdPaints;
        PaintCounter markerPaints;
        lcd.installEventFilter(&lcdPaints);
        marker.installEventFilter(&markerPaints);
        lcd.setValue(second);
        // Pending updates of one window are painted together: once the marker has been
        // painted, an update the display had asked for would have been painted too.
        marker.update();
        QTRY_VERIFY(markerPaints.paints > 0);
        QCOMPARE(lcdPaints.paints, paints);
    }

    void noWaitShowsAtOnce_data()
    {
        QTest::addColumn<TLCD99::TLCDAnimation>("animation");
        QTest::addColumn<int>("delay");
        QTest::newRow("no animation") << TLCD99::anNone << 700;
        QTest::newRow("no delay") << TLCD99::anSpiral << 0;
        QTest::newRow("delay under seven steps") << TLCD99::anUp << 6;
    }
    void noWaitShowsAtOnce()
    {
        QFETCH(TLCD99::TLCDAnimation, animation);
        QFETCH(int, delay);
        TLCD99 lcd;
        makeAzi(lcd);
        lcd.setAnimation(animation);
        lcd.setAnimationDelay(delay);
        lcd.setValue("359");
        QCOMPARE(picture(lcd.grab().toImage()), expectedPicture("", "359", down, 8));
        QVERIFY(!lcd.IsPainting());
    }

    void animationSteps_data()
    {
        using Orders = QList<QList<int>>;
        QTest::addColumn<TLCD99::TLCDAnimation>("animation");
        QTest::addColumn<QString>("old");
        QTest::addColumn<QString>("now");
        QTest::addColumn<Orders>("orders");
        // Every row changes every element somewhere, so that each step shows.
        QTest::newRow("down, blank to 8:") << TLCD99::anDown << "" << "8:" << Orders{down};
        QTest::newRow("up, 8: to blanks") << TLCD99::anUp << "8:" << "   " << Orders{up};
        QTest::newRow("spiral, -8 to 8:") << TLCD99::anSpiral << "-8" << "8:" << Orders{spiral};
        QTest::newRow("left, 359 to -:8") << TLCD99::anLeft << "359" << "-:8" << Orders{left};
        QTest::newRow("right, 45 to 2.7:") << TLCD99::anRight << "45" << "2.7:" << Orders{right};
        QTest::newRow("random, one of five") << TLCD99::anRandom << "" << "8:"
                                             << Orders{spiral, up, down, left, right};
        QTest::newRow("to empty, cells unlit in order") << TLCD99::anDown << "88" << "a+b" << Orders{down};
    }
    void animationSteps()
    {
        QFETCH(TLCD99::TLCDAnimation, animation);
        QFETCH(QString, old);
        QFETCH(QString, now);
        QFETCH(QList<QList<int>>, orders);
        TLCD99 lcd;
        makeAzi(lcd);
        lcd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lcd));
        lcd.setValue(old);
        lcd.repaint();

        lcd.setAnimation(animation);
        lcd.setAnimationDelay(7 * 50);
        lcd.setValue(now);
        lcd.repaint();
        QVERIFY(lcd.IsPainting());
        QStringList seen{picture(onScreen(lcd))};
        while (lcd.IsPainting()) {
            QTest::qWait(5);
            if (const QString shown = picture(onScreen(lcd)); shown != seen.last())
                seen << shown;
        }

        // Every picture seen is a later step of one order; the first shows only step one.
        const QString stored = lcd::normalisedValue(now);
        bool matched = false;
        for (const QList<int> &order : orders) {
            int step = 1;
            for (const QString &shown : seen) {
                while (step <= 8 && expectedPicture(old, stored, order, step) != shown)
                    ++step;
            }
            matched = matched
                      || (step <= 8 && seen.first() == expectedPicture(old, stored, order, 1)
                          && seen.last() == expectedPicture(old, stored, order, 8));
        }
        QVERIFY2(matched, qPrintable(seen.join(u'\n')));
    }

    void valueSetDuringAnimationIsShown()
    {
        TLCD99 lcd;
        makeAzi(lcd);
        lcd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lcd));
        lcd.setAnimation(TLCD99::anDown);
        lcd.setAnimationDelay(7 * 20);
        lcd.setValue("1");
        lcd.repaint();
        QVERIFY(lcd.IsPainting());
        lcd.setValue("27");
        QTRY_COMPARE(picture(onScreen(lcd)), expectedPicture("", "27", down, 8));
        QTRY_VERIFY(!lcd.IsPainting());
    }
};

QTEST_MAIN(TestLcd99)
#include "test_lcd99.moc"
