#include <QtTest>

#include "ui/dial.h"

// Where the needle ends for a few azimuths: north up, clockwise, halves to even.
class TestDial : public QObject
{
    Q_OBJECT
private slots:
    void needleEnd_data();
    void needleEnd();
};

void TestDial::needleEnd_data()
{
    QTest::addColumn<int>("azimuth");
    QTest::addColumn<QPoint>("end");
    QTest::newRow("north") << 0 << QPoint(34, 12);
    QTest::newRow("30") << 30 << QPoint(45, 15);
    QTest::newRow("north-east") << 45 << QPoint(50, 18);
    QTest::newRow("60") << 60 << QPoint(53, 23);
    QTest::newRow("east") << 90 << QPoint(56, 34);
    QTest::newRow("south") << 180 << QPoint(34, 56);
    QTest::newRow("west") << 270 << QPoint(12, 34);
    QTest::newRow("north-west") << 315 << QPoint(18, 18);
    QTest::newRow("359 is still north") << 359 << QPoint(34, 12);
    QTest::newRow("360 is north") << 360 << QPoint(34, 12);
}

void TestDial::needleEnd()
{
    QFETCH(int, azimuth);
    QFETCH(QPoint, end);
    QCOMPARE(dial::needleEnd(azimuth), end);
}

QTEST_APPLESS_MAIN(TestDial)
#include "test_dial.moc"
