#include <optional>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "ports/ppdev_port_library.h"
#include "ports/port_library.h"
#include "ports/recording_port_library.h"
#include "rotator/driver_table.h"
#include "rotator/parallel_drivers.h"

using platform::Beep;
using Call = ports::RecordingPortLibrary::Call;
using Calls = QList<Call>;

namespace {
constexpr int Base = 0x378;
Call out(int port, int value) { return {QStringLiteral("Outport"), {port, value}}; }
Call pause(int ms) { return {QStringLiteral("wait"), {ms}}; }
Call data(int value) { return out(Base, value); }
Call control(int value) { return out(Base + 2, value); }

// The recording library, which also measures how long passed before each write.
class PacedPortLibrary : public ports::RecordingPortLibrary
{
public:
    void Outport(quint16 port, quint16 value) override
    {
        gapsMs.append(sinceLastWrite.isValid() ? sinceLastWrite.nsecsElapsed() / 1000000 : 0);
        sinceLastWrite.start();
        RecordingPortLibrary::Outport(port, value);
    }
    // The writes, with each pause that `expected` puts before a write shown where at least that
    // long passed (a timer may fire late, never early); where less passed, the time that did.
    Calls paced(const Calls &expected) const
    {
        QList<int> pauseBefore;
        int pending = 0;
        for (const Call &call : expected) {
            if (call.operation == QLatin1String("wait")) {
                pending += call.arguments.value(0);
            } else {
                pauseBefore.append(pending);
                pending = 0;
            }
        }
        Calls result;
        const Calls writes = outputs();
        for (qsizetype i = 0; i < writes.size(); ++i) {
            if (const int wanted = pauseBefore.value(i); wanted > 0)
                result.append(pause(gapsMs.value(i) >= wanted ? wanted : int(gapsMs.value(i))));
            result.append(writes[i]);
        }
        return result;
    }

private:
    QElapsedTimer sinceLastWrite;
    QList<qint64> gapsMs;
};
}

// PourSat and FODTrack: the register writes and pauses the board would see, in order.
class TestParallelDrivers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void frame_data();
    void frame();
    void position_data();
    void position();
    void noPortBeepsAndSkips_data();
    void noPortBeepsAndSkips();
    void thresholdSkipsWithoutAWord();
    void libraryFailureBeepsAndSkips();
    void unusableParportBeepsAndSkips_data();
    void unusableParportBeepsAndSkips();

private:
    void select(int rotator);
    void trackTo(long double azimuth);

    std::unique_ptr<PacedPortLibrary> library;
    std::unique_ptr<platform::ScopedRecordingUi> recorder;
    std::unique_ptr<ParallelDrivers> drivers;
    DriverTable table;
    QString label;
    std::optional<Outcome> outcome;
};


void TestParallelDrivers::init()
{
    settings() = Settings();
    settings().LptAddress = {Base, 0x278, 0x3BC};
    library = std::make_unique<PacedPortLibrary>();
    ports::setPortLibrary(library.get());
    recorder = std::make_unique<platform::ScopedRecordingUi>();
    label.clear();
    outcome.reset();
    drivers = std::make_unique<ParallelDrivers>(ParallelDrivers::Hooks{[this](const QString &text) { label = text; }});
    table = DriverTable();
    drivers->registerIn(table);
}

void TestParallelDrivers::cleanup()
{
    drivers.reset();
    recorder.reset();
    ports::setPortLibrary(nullptr);
    library.reset();
}

void TestParallelDrivers::select(int rotator)
{
    settings().ANT = rotator;
    (rotator == PourSat ? settings().LPT_POURSAT : settings().LPT_FODTRACK) = 0;
}

void TestParallelDrivers::trackTo(long double azimuth)
{
    settings().TargetAzimuth = azimuth;
    // As the engine before each command: the driver sets it only when it sends nothing.
    settings().CommandSkipped = false;
    outcome.reset();
    QVERIFY(table.track(settings().ANT, [this](Outcome result, const QString &) { outcome = result; }));
}

void TestParallelDrivers::frame_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<int>("lpt");
    QTest::addColumn<Calls>("expected");
    QTest::newRow("PourSat, no pauses") << int(PourSat) << 0
        << Calls{control(0), control(8), data(46), control(10), control(1), data(1), control(3), control(0)};
    QTest::newRow("FODTrack, paced")
        << int(FODTrack) << 0
        << Calls{control(2), pause(10), data(64), pause(10), control(2), pause(5), control(3), pause(10),
                 control(2), pause(10), control(0), pause(10), data(1), pause(10), control(0), pause(5),
                 control(1), pause(10), control(0)};
    QTest::newRow("PourSat on LPT2") << int(PourSat) << 1
        << Calls{out(0x27A, 0), out(0x27A, 8), out(0x278, 46), out(0x27A, 10), out(0x27A, 1),
                 out(0x278, 1), out(0x27A, 3), out(0x27A, 0)};
}

void TestParallelDrivers::frame()
{
    QFETCH(int, rotator);
    QFETCH(int, lpt);
    QFETCH(Calls, expected);
    select(rotator);
    (rotator == PourSat ? settings().LPT_POURSAT : settings().LPT_FODTRACK) = lpt;
    trackTo(90);
    // The line rests: the writes before the first pause go out at once, the others after it.
    Calls atOnce;
    for (const Call &call : expected) {
        if (call.operation == QLatin1String("wait"))
            break;
        atOnce.append(call);
    }
    QCOMPARE(library->outputs(), atOnce);
    QTRY_COMPARE(outcome, std::optional(Outcome::Sent));
    QCOMPARE(library->paced(expected), expected);
    QVERIFY(!settings().CommandSkipped);
    QVERIFY((*recorder)->beeps.isEmpty());
}

void TestParallelDrivers::position_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<double>("target");
    QTest::addColumn<double>("zero");
    QTest::addColumn<double>("calibration");  // 0: the board's default
    QTest::addColumn<bool>("south");
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("targetAfter");
    QTest::newRow("PourSat 5") << int(PourSat) << 5.0 << 0.0 << 0.0 << false << 3 << 5.0;
    QTest::newRow("PourSat 90") << int(PourSat) << 90.0 << 0.0 << 0.0 << false << 46 << 90.0;
    QTest::newRow("PourSat 180") << int(PourSat) << 180.0 << 0.0 << 0.0 << false << 93 << 180.0;
    QTest::newRow("PourSat 359") << int(PourSat) << 359.0 << 0.0 << 0.0 << false << 184 << 359.0;
    QTest::newRow("PourSat south stop turns the target") << int(PourSat) << 10.0 << 0.0 << 0.0 << true << 98 << 190.0;
    QTest::newRow("FODTrack 5") << int(FODTrack) << 5.0 << 0.0 << 0.0 << false << 4 << 5.0;
    QTest::newRow("FODTrack 90") << int(FODTrack) << 90.0 << 0.0 << 0.0 << false << 64 << 90.0;
    QTest::newRow("FODTrack 180") << int(FODTrack) << 180.0 << 0.0 << 0.0 << false << 128 << 180.0;
    QTest::newRow("FODTrack 270") << int(FODTrack) << 270.0 << 0.0 << 0.0 << false << 192 << 270.0;
    QTest::newRow("FODTrack 359") << int(FODTrack) << 359.0 << 0.0 << 0.0 << false << 255 << 359.0;
    QTest::newRow("FODTrack 359.9 limited") << int(FODTrack) << 359.9 << 0.0 << 0.0 << false << 255 << 359.9;
    QTest::newRow("below zero: other turn") << int(FODTrack) << 5.0 << 10.0 << 0.0 << false << 252 << 5.0;
    QTest::newRow("above 255 with negative zero: other turn")
        << int(FODTrack) << 355.0 << -10.0 << 0.0 << false << 4 << 355.0;
    QTest::newRow("below zero, zero negative: 0") << int(FODTrack) << 0.0 << 0.0 << -1.0 << false << 0 << 0.0;
    QTest::newRow("half to even, down") << int(FODTrack) << 2.5 << 0.0 << 1.0 << false << 2 << 2.5;
    QTest::newRow("half to even, up") << int(FODTrack) << 3.5 << 0.0 << 1.0 << false << 4 << 3.5;
    QTest::newRow("other turn too high is the top end")
        << int(FODTrack) << 355.0 << -10.0 << 100.0 << false << 255 << 355.0;
    QTest::newRow("other turn too low is the bottom end")
        << int(FODTrack) << 5.0 << 400.0 << 0.0 << false << 0 << 5.0;
}

void TestParallelDrivers::position()
{
    QFETCH(int, rotator);
    QFETCH(double, target);
    QFETCH(double, zero);
    QFETCH(double, calibration);
    QFETCH(bool, south);
    QFETCH(int, position);
    QFETCH(double, targetAfter);
    select(rotator);
    Settings &s = settings();
    (rotator == PourSat ? s.ZERO_POURSAT : s.ZERO_FODTRACK) = zero;
    if (calibration != 0)
        (rotator == PourSat ? s.CALAZ_POURSAT : s.CALAZ_FODTRACK) = calibration;
    (rotator == PourSat ? s.STOP_POURSAT : s.STOP_FODTRACK) = south ? SouthStop : NorthStop;
    trackTo(target);
    QCOMPARE(label, QString::number(position));
    QTRY_COMPARE(outcome, std::optional(Outcome::Sent));
    const Calls writes = library->outputs();
    // On both boards the position byte is the first write to the data register.
    const auto firstData = std::find_if(writes.begin(), writes.end(),
                                        [](const Call &call) { return call.arguments.value(0) == Base; });
    QVERIFY(firstData != writes.end());
    QCOMPARE(*firstData, data(position));
    QCOMPARE(double(s.TargetAzimuth), targetAfter);
    QCOMPARE(double(s.LastAzimuth), target);
}

void TestParallelDrivers::noPortBeepsAndSkips_data()
{
    QTest::addColumn<int>("rotator");
    QTest::newRow("PourSat") << int(PourSat);
    QTest::newRow("FODTrack") << int(FODTrack);
}

void TestParallelDrivers::noPortBeepsAndSkips()
{
    QFETCH(int, rotator);
    settings().ANT = rotator;
    trackTo(90);
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->beeps, QList<Beep>{Beep::Default});
    QVERIFY(library->calls.isEmpty());
    QCOMPARE(double(settings().LastAzimuth), -10.0);
    QVERIFY(label.isEmpty());
}

void TestParallelDrivers::thresholdSkipsWithoutAWord()
{
    select(FODTrack);
    settings().STEP_FODTRACK = 2;
    settings().LastAzimuth = 100;
    trackTo(101.5);
    QVERIFY(settings().CommandSkipped);
    QVERIFY(library->calls.isEmpty());
    QVERIFY((*recorder)->beeps.isEmpty());
    QCOMPARE(double(settings().LastAzimuth), 100.0);
    trackTo(102);
    QVERIFY(!settings().CommandSkipped);
    // The whole frame: its ten writes.
    QTRY_COMPARE(outcome, std::optional(Outcome::Sent));
    QCOMPARE(library->outputs().size(), 10);
}

void TestParallelDrivers::libraryFailureBeepsAndSkips()
{
    select(FODTrack);
    library->failing = true;
    trackTo(90);
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->beeps, QList<Beep>{Beep::Default});
    QCOMPARE(double(settings().LastAzimuth), 90.0);
    // The frame breaks off at the failed write and waits no further.
    QCOMPARE(library->outputs(), Calls{control(2)});
    QVERIFY(!outcome);
}

void TestParallelDrivers::unusableParportBeepsAndSkips_data()
{
    QTest::addColumn<bool>("deviceExists");
    QTest::newRow("ppdev device missing") << false;
    QTest::newRow("device that is no parallel port") << true;
}

// The real ppdev library over an inventory that names a port whose device cannot be claimed.
void TestParallelDrivers::unusableParportBeepsAndSkips()
{
    QFETCH(bool, deviceExists);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("inventory/parport0")));
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("dev")));
    QFile base(root.filePath(QStringLiteral("inventory/parport0/base-addr")));
    QVERIFY(base.open(QIODevice::WriteOnly));
    base.write("888\t1912\n");
    base.close();
    if (deviceExists) {
        QFile device(root.filePath(QStringLiteral("dev/parport0")));
        QVERIFY(device.open(QIODevice::WriteOnly));
    }
    ports::PpdevPortLibrary ppdev(root.filePath(QStringLiteral("inventory")), root.filePath(QStringLiteral("dev")));
    ports::setPortLibrary(&ppdev);
    select(PourSat);
    trackTo(90);
    ports::setPortLibrary(library.get());
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->beeps, QList<Beep>{Beep::Default});
    QVERIFY(ppdev.GetLastState() != 0);
}

QTEST_MAIN(TestParallelDrivers)
#include "test_parallel_drivers.moc"
