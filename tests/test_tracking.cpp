#include <functional>
#include <optional>
#include <stdexcept>

#include <QLocale>
#include <QtTest>

#include "app/settings.h"
#include "rotator/driver_table.h"
#include "rotator/tracking.h"
#include "rotator/tracking_engine.h"

class TestTracking : public QObject
{
    Q_OBJECT
private slots:
    void commandValue_data();
    void commandValue();
    void threshold_data();
    void threshold();
    void thresholdOnTheTravel_data();
    void thresholdOnTheTravel();
    void travelTargetWithinTheTravel_data();
    void travelTargetWithinTheTravel();
    void halfTurn_data();
    void halfTurn();
    void parseAzimuthFollowsLocale();
    void stopOrderAndMissingDrivers();
    void engineResults_data();
    void engineResults();
    void engineSendsOnlyTheNewest();
    void requestOutcomes_data();
    void requestOutcomes();
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

// A peer's position on the travel (370 on 0..450) skips the step only to reach another turn:
// tracking past north in small steps, or a reading just short of the position, sends nothing new.
void TestTracking::thresholdOnTheTravel_data()
{
    QTest::addColumn<std::optional<double>>("position");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<double>("target");
    QTest::addColumn<bool>("sent");
    QTest::newRow("same heading, another turn") << std::optional(10.0) << 370 << 10.0 << true;
    QTest::newRow("nowhere known yet") << std::optional<double>() << 370 << 10.0 << true;
    QTest::newRow("two degrees on, step 5") << std::optional(370.0) << 372 << 12.0 << false;
    QTest::newRow("read just short of it") << std::optional(369.7) << 370 << 10.0 << false;
    QTest::newRow("past the step") << std::optional(370.0) << 376 << 16.0 << true;
}

void TestTracking::thresholdOnTheTravel()
{
    QFETCH(std::optional<double>, position);
    QFETCH(int, wanted);
    QFETCH(double, target);
    QFETCH(bool, sent);
    Settings s;
    s.LastAzimuth = 10;
    if (position)
        s.RotatorPosition = *position;
    s.TravelTarget = wanted;
    s.TargetAzimuth = target;
    QCOMPARE(tracking::beginTrack(s, 5, false), sent);
}

// A position asked for on the travel of the moment it was asked (a request left waiting while the
// travel or the interface changed) never goes past an end stop: only its heading goes.
void TestTracking::travelTargetWithinTheTravel_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("sent");
    QTest::newRow("on the travel") << int(GS232) << 450 << 370 << 10.0 << 370;
    QTest::newRow("travel back to one turn") << int(GS232) << 360 << 370 << 10.0 << 10;
    QTest::newRow("another interface's position") << int(GS232) << 450 << -80 << 280.0 << 280;
}

void TestTracking::travelTargetWithinTheTravel()
{
    QFETCH(int, rotator);
    QFETCH(int, maximum);
    QFETCH(int, wanted);
    QFETCH(double, target);
    QFETCH(int, sent);
    Settings s;
    s.AZMAX[rotator] = maximum;
    s.TravelTarget = wanted;
    s.TargetAzimuth = target;
    QCOMPARE(tracking::travelValue(s, rotator, 0), sent);
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
    // Read as numbers by QLocale, yet no azimuth.
    for (const char *notFinite : {"nan", "inf", "-inf", "1e999"})
        QVERIFY2(!tracking::parseAzimuth(QLatin1String(notFinite), &azimuth), notFinite);
    QCOMPARE(double(azimuth), 12.5);
}

void TestTracking::stopOrderAndMissingDrivers()
{
    DriverTable table;
    QStringList calls;
    for (int i = 0; i < InterfaceCount; ++i) {
        if (i == PourSat || i == FODTrack)
            continue;
        table.add(i, {QString(), QString(), nullptr, [&calls, i] { calls << interfaceKeyWord(i); }, {}});
    }
    table.stopAll();
    QCOMPARE(calls, QStringList({"EA4TX", "GS232", "EASYCOMM", "DCU1", "PROSISTEL", "TRAKBOX", "KCT",
                                 "M2ORION", "EGIS", "HAMLIB"}));
    QVERIFY(!table.track(GS232, {}));
    QVERIFY(!table.track(NoInterface, {}));
}

// The engine with a GS-232 driver that records, skips or fails as told, and answers at once.
struct EngineStation {
    EngineStation()
    {
        settings() = Settings();
        settings().ANT = GS232;
        drivers.add(GS232, {QStringLiteral("GS_Track"), QStringLiteral("GS_Track_stop"), [this](DriverTable::Done done) {
                                if (fails)
                                    throw std::runtime_error("WriteFile function failed");
                                // As beginTrack within the step, or a port that does not open.
                                settings().CommandSkipped = skips || !reaches;
                                settings().WithinStep = skips;
                                sent.append(double(settings().TargetAzimuth));
                                if (duringCommand)
                                    std::exchange(duringCommand, nullptr)();
                                if (!settings().CommandSkipped)
                                    done(Outcome::Sent, {});
                            },
                            [] {}, {}});
    }
    DriverTable drivers;
    TrackingEngine engine{drivers};
    QList<double> sent;
    bool skips = false;
    bool reaches = true;
    bool fails = false;
    std::function<void()> duringCommand;
};

void TestTracking::engineResults_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rotatorInterface");
    QTest::addColumn<bool>("skips");
    QTest::addColumn<bool>("reaches");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("sent") << "45" << int(GS232) << false << true << false << int(Outcome::Sent) << false;
    QTest::newRow("within the minimum step") << "45" << int(GS232) << true << true << false << int(Outcome::Skipped) << false;
    QTest::newRow("no interface") << "45" << int(NoInterface) << false << true << false << int(Outcome::Refused) << false;
    QTest::newRow("360 is no azimuth") << "360" << int(GS232) << false << true << false << int(Outcome::Refused) << false;
    QTest::newRow("negative") << "-1" << int(GS232) << false << true << false << int(Outcome::Refused) << false;
    QTest::newRow("not a number") << "abc" << int(GS232) << false << true << false << int(Outcome::Refused) << true;
    QTest::newRow("nan") << "nan" << int(GS232) << false << true << false << int(Outcome::Refused) << true;
    QTest::newRow("infinity") << "inf" << int(GS232) << false << true << false << int(Outcome::Refused) << true;
    QTest::newRow("port does not open") << "45" << int(GS232) << false << false << false << int(Outcome::Unreachable) << false;
    QTest::newRow("driver fails") << "45" << int(GS232) << false << true << true << int(Outcome::Failed) << false;
}

void TestTracking::engineResults()
{
    QFETCH(QString, text);
    QFETCH(int, rotatorInterface);
    QFETCH(bool, skips);
    QFETCH(bool, reaches);
    QFETCH(bool, fails);
    QFETCH(int, outcome);
    QFETCH(bool, unreadable);
    QLocale::setDefault(QLocale::c());
    EngineStation station;
    settings().ANT = rotatorInterface;
    station.skips = skips;
    station.reaches = reaches;
    station.fails = fails;
    QList<TrackResult> observed;
    connect(&station.engine, &TrackingEngine::tracked, this, [&](const TrackResult &result) { observed.append(result); });
    std::optional<TrackResult> heard;
    station.engine.track(text, [&](const TrackResult &result) { heard = result; });
    QVERIFY(heard);
    const TrackResult result = *heard;
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(result.unreadable, unreadable);
    QCOMPARE(result.failure, fails ? QStringLiteral("WriteFile function failed") : QString());
    QCOMPARE(observed.size(), 1);
    const bool driverRan = outcome == int(Outcome::Sent) || skips || !reaches;
    QCOMPARE(station.sent, driverRan ? QList<double>{45} : QList<double>());
}

void TestTracking::engineSendsOnlyTheNewest()
{
    EngineStation station;
    QList<Outcome> heard(3, Outcome::Refused);
    const auto into = [&heard](int i) { return [&heard, i](const TrackResult &result) { heard[i] = result.outcome; }; };
    // Requests during a command: the newest goes out after it, the others never.
    station.duringCommand = [&] {
        station.engine.track(QStringLiteral("10"), into(1));
        station.engine.track(QStringLiteral("20"), into(2));
    };
    station.engine.track(QStringLiteral("5"), into(0));
    QCOMPARE(heard, QList<Outcome>({Outcome::Sent, Outcome::Superseded, Outcome::Sent}));
    QCOMPARE(station.sent, QList<double>({5, 20}));

    // A burst held until it has been read: only its last azimuth goes out.
    station.sent.clear();
    station.engine.hold();
    for (int azimuth = 100; azimuth < 20100; ++azimuth)
        station.engine.track(QString::number(azimuth % 360));
    QVERIFY(station.sent.isEmpty());
    station.engine.release();
    QCOMPARE(station.sent, QList<double>({20099 % 360}));
}

void TestTracking::requestOutcomes_data()
{
    QTest::addColumn<QString>("driver");  // keeps its Done, skips (within the step), or throws
    QTest::addColumn<QStringList>("requests");  // made one after another, the driver answering none
    QTest::addColumn<QString>("then");  // answer, stop or drop
    QTest::addColumn<QList<Outcome>>("heard");  // by each request, in order
    QTest::addColumn<QList<double>>("reached");  // the azimuths the driver was given
    const QStringList one{QStringLiteral("45")};
    const QStringList three{QStringLiteral("45"), QStringLiteral("50"), QStringLiteral("60")};
    const QStringList two{QStringLiteral("45"), QStringLiteral("50")};
    using O = Outcome;
    QTest::newRow("sent") << "keeps" << one << "answer" << QList<O>{O::Sent} << QList<double>{45};
    QTest::newRow("skipped") << "skips" << one << "answer" << QList<O>{O::Skipped} << QList<double>{45};
    QTest::newRow("superseded, the newest goes out after")
        << "keeps" << three << "answer" << QList<O>{O::Sent, O::Superseded, O::Sent} << QList<double>{45, 60};
    QTest::newRow("stopped, waiting and in progress")
        << "keeps" << two << "stop" << QList<O>{O::Stopped, O::Stopped} << QList<double>{45};
    QTest::newRow("refused") << "keeps" << QStringList{QStringLiteral("360")} << "answer" << QList<O>{O::Refused}
                             << QList<double>{};
    QTest::newRow("failed") << "throws" << one << "answer" << QList<O>{O::Failed} << QList<double>{45};
    QTest::newRow("dropped") << "keeps" << two << "drop" << QList<O>{O::Sent, O::Dropped} << QList<double>{45};
}

// Each request hears one final outcome, once it is known; a driver that holds a command keeps
// the engine busy, as a line does while it writes and pauses.
void TestTracking::requestOutcomes()
{
    QFETCH(QString, driver);
    QFETCH(QStringList, requests);
    QFETCH(QString, then);
    QFETCH(QList<Outcome>, heard);
    QFETCH(QList<double>, reached);
    QLocale::setDefault(QLocale::c());
    settings() = Settings();
    settings().ANT = GS232;
    DriverTable drivers;
    DriverTable::Done pending;
    QList<double> given;
    drivers.add(GS232, {QStringLiteral("GS_Track"), QStringLiteral("GS_Track_stop"),
                        [&](DriverTable::Done done) {
                            given.append(double(settings().TargetAzimuth));
                            if (driver == QLatin1String("throws"))
                                throw std::runtime_error("WriteFile function failed");
                            settings().CommandSkipped = settings().WithinStep = driver == QLatin1String("skips");
                            if (!settings().CommandSkipped)
                                pending = std::move(done);
                        },
                        // As a line that drops what it has not written yet.
                        [&] {
                            if (pending)
                                std::exchange(pending, {})(Outcome::Stopped, {});
                        },
                        [&] { return bool(pending); }});
    TrackingEngine engine(drivers);
    QList<QList<TrackResult>> results(requests.size());
    for (qsizetype i = 0; i < requests.size(); ++i)
        engine.track(requests[i], [&results, i](const TrackResult &result) { results[i].append(result); });
    if (then == QLatin1String("stop"))
        engine.stop();
    else if (then == QLatin1String("drop"))
        engine.dropWaiting();
    // The driver's answers come later, one command at a time.
    for (int answers = 0; pending && answers < 10; ++answers)
        std::exchange(pending, {})(Outcome::Sent, {});
    QList<Outcome> outcomes;
    for (const QList<TrackResult> &each : std::as_const(results)) {
        QCOMPARE(each.size(), 1);
        outcomes.append(each.first().outcome);
        QCOMPARE(each.first().failure,
                 each.first().outcome == Outcome::Failed ? QStringLiteral("WriteFile function failed") : QString());
    }
    QCOMPARE(outcomes, heard);
    QCOMPARE(given, reached);
    QVERIFY(!engine.busy());
    QCOMPARE(engine.lastSent().value_or(-1), heard.contains(Outcome::Sent) ? int(reached.last()) : -1);
}

QTEST_GUILESS_MAIN(TestTracking)
#include "test_tracking.moc"
