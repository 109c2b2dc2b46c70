#include <QLocale>
#include <QtTest>

#include "app/settings.h"
#include "rotator/driver_table.h"
#include "rotator/tracking.h"

class TestTracking : public QObject
{
    Q_OBJECT
private slots:
    void commandValue_data();
    void commandValue();
    void threshold_data();
    void threshold();
    void halfTurn_data();
    void halfTurn();
    void parseAzimuthFollowsLocale();
    void stopOrderAndMissingDrivers();
};

void TestTracking::commandValue_data()
{
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("sent");
    QTest::newRow("half to even, down") << 180.5 << 0 << 1 << 180;
    QTest::newRow("half to even, up") << 179.5 << 0 << 1 << 180;
    QTest::newRow("half to even at zero") << 0.5 << 0 << 1 << 0;
    QTest::newRow("4.5 gives 4") << 4.5 << 0 << 1 << 4;
    QTest::newRow("5.5 gives 6") << 5.5 << 0 << 1 << 6;
    QTest::newRow("offset wraps below") << 5.0 << 10 << 1 << 355;
    QTest::newRow("offset wraps above") << 355.0 << -10 << 1 << 5;
    QTest::newRow("359.6 wraps to 0") << 359.6 << 0 << 1 << 0;
    QTest::newRow("tenths 359.96 wraps") << 359.96 << 0 << 10 << 0;
    QTest::newRow("tenths 123.4") << 123.4 << 0 << 10 << 1234;
    QTest::newRow("hundredths 0.004") << 0.004 << 0 << 100 << 0;
    QTest::newRow("hundredths 359.99") << 359.99 << 0 << 100 << 35999;
    QTest::newRow("hundredths offset -30") << 350.0 << -30 << 100 << 2000;
}

void TestTracking::commandValue()
{
    QFETCH(double, target);
    QFETCH(int, offset);
    QFETCH(int, scale);
    QFETCH(int, sent);
    QCOMPARE(tracking::commandValue(target, offset, scale), sent);
}

void TestTracking::threshold_data()
{
    QTest::addColumn<double>("last");
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("sent");
    QTest::newRow("after a reset anything goes") << -10.0 << 0.0 << 5 << true;
    QTest::newRow("one degree passes step 1") << 100.0 << 101.0 << 1 << true;
    QTest::newRow("0.6 stays below step 1") << 100.0 << 100.6 << 1 << false;
    QTest::newRow("equal to the step is sent") << 100.0 << 103.0 << 3 << true;
    QTest::newRow("unchanged with step 0 is sent") << 100.0 << 100.0 << 0 << true;
    QTest::newRow("unchanged with step 1 is not") << 100.0 << 100.0 << 1 << false;
}

void TestTracking::threshold()
{
    QFETCH(double, last);
    QFETCH(double, target);
    QFETCH(int, step);
    QFETCH(bool, sent);
    Settings s;
    s.LastAzimuth = last;
    s.TargetAzimuth = target;
    QCOMPARE(tracking::beginTrack(s, step, false), sent);
    QCOMPARE(s.CommandSkipped, !sent);
    QCOMPARE(double(s.LastAzimuth), sent ? target : last);
}

void TestTracking::halfTurn_data()
{
    QTest::addColumn<double>("target");
    QTest::addColumn<bool>("south");
    QTest::addColumn<double>("after");
    QTest::newRow("north leaves it") << 90.0 << false << 90.0;
    QTest::newRow("south 90 gives 270") << 90.0 << true << 270.0;
    QTest::newRow("south 200 gives 20") << 200.0 << true << 20.0;
    QTest::newRow("south 180 gives 0") << 180.0 << true << 0.0;
}

void TestTracking::halfTurn()
{
    QFETCH(double, target);
    QFETCH(bool, south);
    QFETCH(double, after);
    Settings s;
    s.TargetAzimuth = target;
    QVERIFY(tracking::beginTrack(s, 1, south));
    QCOMPARE(double(s.TargetAzimuth), after);
    QCOMPARE(double(s.LastAzimuth), target);
}

void TestTracking::parseAzimuthFollowsLocale()
{
    long double azimuth = 0;
    QLocale::setDefault(QLocale(QLocale::French));
    QVERIFY(tracking::parseAzimuth(QStringLiteral("12,5"), &azimuth));
    QCOMPARE(double(azimuth), 12.5);
    QLocale::setDefault(QLocale::c());
    QVERIFY(tracking::parseAzimuth(QStringLiteral("12.5"), &azimuth));
    QVERIFY(!tracking::parseAzimuth(QStringLiteral("abc"), &azimuth));
    QCOMPARE(double(azimuth), 12.5);
}

void TestTracking::stopOrderAndMissingDrivers()
{
    DriverTable table;
    QStringList calls;
    for (int i = 0; i < InterfaceCount; ++i) {
        if (i == PourSat || i == FODTrack)
            continue;
        table.add(i, {QString(), QString(), nullptr, [&calls, i] { calls << interfaceKeyWord(i); }});
    }
    table.stopAll();
    QCOMPARE(calls, QStringList({"EA4TX", "GS232", "EASYCOMM", "DCU1", "PROSISTEL", "TRAKBOX", "KCT",
                                 "M2ORION", "EGIS"}));
    QVERIFY(!table.track(GS232));
    QVERIFY(!table.track(NoInterface));
}

QTEST_GUILESS_MAIN(TestTracking)
#include "test_tracking.moc"
