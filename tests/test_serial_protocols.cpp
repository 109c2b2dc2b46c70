#include <climits>
#include <optional>

#include <QTemporaryDir>
#include <QtTest>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/serial_names.h"
#include "platform/ui_services.h"
#include "rotator/driver_table.h"
#include "rotator/serial_drivers.h"
#include "support/pseudo_terminal.h"

using platform::Beep;

// The seven controllers' bytes, read from the far end of real pseudo-terminal lines.
class TestSerialProtocols : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void position_data();
    void position();
    void lastAzimuthIsTheWholeDegreesSent_data();
    void lastAzimuthIsTheWholeDegreesSent();
    void shortestTurnOverTheTravel_data();
    void shortestTurnOverTheTravel();
    void proSisTelCpmOffOnlyAfterAnOpen();
    void stop_data();
    void stop();
    void stopTwiceSendsOnce();
    void thresholdZeroSendsEveryTime();
    void unreachablePortBeepsAndSkips_data();
    void unreachablePortBeepsAndSkips();
    void vanishedDeviceIsAnErrorThenRecovers();
    void closingAtShutdown_data();
    void closingAtShutdown();
    void trakBoxClosingOpensItsPort();

private:
    void select(int rotator, int comNumber);
    // The driver's track operation; its outcome comes to `outcome` once the last line is out.
    void track(const SerialProtocol &protocol);

    QTemporaryDir parent;
    std::unique_ptr<PseudoTerminal> line;
    std::unique_ptr<SerialDrivers> drivers;
    platform::ScopedRecordingUi *recorder = nullptr;
    QString label;
    bool cpmOff = false;
    std::optional<Outcome> outcome;
    QStringList lineErrors;
};

void TestSerialProtocols::init()
{
    settings() = Settings();
    platform::setComportsParent(parent.path());
    recorder = new platform::ScopedRecordingUi;
    line = std::make_unique<PseudoTerminal>();
    line->linkAs(parent.path(), 3);
    label.clear();
    cpmOff = false;
    outcome.reset();
    lineErrors.clear();
    drivers = std::make_unique<SerialDrivers>(SerialDrivers::Hooks{[this](const QString &text) { label = text; },
                                                                   [this] { return cpmOff; },
                                                                   [this](const QString &text) { lineErrors << text; }});
}

void TestSerialProtocols::cleanup()
{
    drivers.reset();
    line.reset();
    delete recorder;
    // No write failed behind a command's back.
    QVERIFY(lineErrors.isEmpty());
}

void TestSerialProtocols::select(int rotator, int comNumber)
{
    Settings &s = settings();
    s.ANT = rotator;
    s.*serialProtocol(rotator)->port = comNumber - 1;
}

void TestSerialProtocols::track(const SerialProtocol &protocol)
{
    outcome.reset();
    drivers->track(protocol, [this](Outcome result, const QString &) { outcome = result; });
}

void TestSerialProtocols::position_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("south");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("GS-232 5") << int(GS232) << 5.0 << 0 << false << QByteArray("W005\r") << "W005\r COM3";
    QTest::newRow("GS-232 4.5 half to even") << int(GS232) << 4.5 << 0 << false << QByteArray("W004\r") << "W004\r COM3";
    QTest::newRow("GS-232 5.5 half to even") << int(GS232) << 5.5 << 0 << false << QByteArray("W006\r") << "W006\r COM3";
    QTest::newRow("GS-232 offset +10") << int(GS232) << 5.0 << 10 << false << QByteArray("W355\r") << "W355\r COM3";
    QTest::newRow("GS-232 offset -10 wraps") << int(GS232) << 355.0 << -10 << false << QByteArray("W005\r") << "W005\r COM3";
    QTest::newRow("GS-232 south stop") << int(GS232) << 5.0 << 0 << true << QByteArray("W185\r") << "W185\r COM3";
    QTest::newRow("EasyComm") << int(EasyComm) << 5.0 << 0 << false << QByteArray("AZ005.0\r") << "AZ005.0\r COM3";
    QTest::newRow("TrakBox ignores the south stop") << int(TrakBox) << 5.0 << 0 << true << QByteArray("AZ005 EL00\r") << "AZ005 EL00\r COM3";
    QTest::newRow("ProSisTel") << int(ProSisTel) << 5.0 << 0 << false << QByteArray("\x02" "AG005\r") << "\x02" "AG005\r COM3";
    QTest::newRow("DCU-1 two writes, label the first") << int(DCU1) << 5.0 << 0 << false << QByteArray("AP1005;\rAM1;\r") << "AP1005;\r COM3";
    QTest::newRow("M2-ORION 5") << int(M2Orion) << 5.0 << 0 << false << QByteArray("A5.0\r") << "A5.0\r COM3";
    QTest::newRow("M2-ORION 0.5") << int(M2Orion) << 0.5 << 0 << false << QByteArray("A0.5\r") << "A0.5\r COM3";
    QTest::newRow("M2-ORION 123.4") << int(M2Orion) << 123.4 << 0 << false << QByteArray("A123.4\r") << "A123.4\r COM3";
    QTest::newRow("M2-ORION 359.96 wraps") << int(M2Orion) << 359.96 << 0 << false << QByteArray("A0.0\r") << "A0.0\r COM3";
    QTest::newRow("M2-ORION south 10") << int(M2Orion) << 10.0 << 0 << true << QByteArray("A190.0\r") << "A190.0\r COM3";
    QTest::newRow("EGIS 5") << int(EGIS) << 5.0 << 0 << false << QByteArray("&* AZ=005.00\r") << "&* AZ=005.00\r COM3";
    QTest::newRow("EGIS 0.05") << int(EGIS) << 0.05 << 0 << false << QByteArray("&* AZ=000.05\r") << "&* AZ=000.05\r COM3";
    QTest::newRow("EGIS 0.004") << int(EGIS) << 0.004 << 0 << false << QByteArray("&* AZ=000.00\r") << "&* AZ=000.00\r COM3";
    QTest::newRow("EGIS 359.99") << int(EGIS) << 359.99 << 0 << false << QByteArray("&* AZ=359.99\r") << "&* AZ=359.99\r COM3";
    QTest::newRow("EGIS south 10") << int(EGIS) << 10.0 << 0 << true << QByteArray("&* AZ=190.00\r") << "&* AZ=190.00\r COM3";
    // Offsets no dialog allows still give an azimuth within one turn.
    QTest::newRow("GS-232 offset 400") << int(GS232) << 10.0 << 400 << false << QByteArray("W330\r") << "W330\r COM3";
    QTest::newRow("GS-232 largest offset") << int(GS232) << 10.0 << INT_MAX << false << QByteArray("W243\r") << "W243\r COM3";
    QTest::newRow("M2-ORION smallest offset") << int(M2Orion) << 10.0 << INT_MIN << false << QByteArray("A138.0\r") << "A138.0\r COM3";
    QTest::newRow("EGIS smallest offset") << int(EGIS) << 359.99 << INT_MIN << false << QByteArray("&* AZ=127.99\r") << "&* AZ=127.99\r COM3";
    QTest::newRow("EGIS largest offset") << int(EGIS) << 10.0 << INT_MAX << false << QByteArray("&* AZ=243.00\r") << "&* AZ=243.00\r COM3";
}

void TestSerialProtocols::position()
{
    QFETCH(int, rotator);
    QFETCH(double, target);
    QFETCH(int, offset);
    QFETCH(bool, south);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const SerialProtocol &protocol = *serialProtocol(rotator);
    select(rotator, 3);
    Settings &s = settings();
    s.*protocol.offset = offset;
    if (protocol.stopSide)
        s.*protocol.stopSide = south ? SouthStop : NorthStop;
    s.TargetAzimuth = target;
    track(protocol);
    QVERIFY(!s.CommandSkipped);
    QCOMPARE(line->read(bytes.size()), bytes);
    QCOMPARE(label, shown);
    QTRY_COMPARE(outcome, std::optional(Outcome::Sent));
    if (south && protocol.stopSide)
        QCOMPARE(double(s.TargetAzimuth), target + 180);
}

void TestSerialProtocols::shortestTurnOverTheTravel_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("south");
    QTest::addColumn<QList<double>>("requests");
    QTest::addColumn<QByteArray>("bytes");
    using List = QList<double>;
    QTest::newRow("across north clockwise") << 450 << 0 << false << List{350, 10} << QByteArray("W350\rW370\r");
    QTest::newRow("back across north") << 450 << 0 << false << List{350, 10, 340} << QByteArray("W350\rW370\rW340\r");
    QTest::newRow("into the overlap, then past the end stop the long way")
        << 450 << 0 << false << List{350, 80, 100} << QByteArray("W350\rW440\rW100\r");
    QTest::newRow("nothing sent yet: the first turn") << 450 << 0 << false << List{30} << QByteArray("W030\r");
    QTest::newRow("one turn as ever") << 360 << 0 << false << List{350, 10} << QByteArray("W350\rW010\r");
    QTest::newRow("south stop") << 450 << 0 << true << List{170, 190} << QByteArray("W350\rW370\r");
    QTest::newRow("offset") << 450 << 10 << false << List{0, 20} << QByteArray("W350\rW370\r");
}

// Each command goes where the last one sent left the rotator, by the shorter way the travel allows.
void TestSerialProtocols::shortestTurnOverTheTravel()
{
    QFETCH(int, maximum);
    QFETCH(int, offset);
    QFETCH(bool, south);
    QFETCH(QList<double>, requests);
    QFETCH(QByteArray, bytes);
    const SerialProtocol &protocol = *serialProtocol(GS232);
    select(GS232, 3);
    Settings &s = settings();
    s.AZMAX[GS232] = maximum;
    s.AZOFFSET_GS = offset;
    s.STOP_GS232 = south ? SouthStop : NorthStop;
    QByteArray sent;
    for (const double request : requests) {
        s.TargetAzimuth = request;
        track(protocol);
        QTRY_COMPARE(outcome, std::optional(Outcome::Sent));
        sent += line->read(4 + 1);
    }
    QCOMPARE(sent, bytes);
}

void TestSerialProtocols::lastAzimuthIsTheWholeDegreesSent_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<double>("target");
    QTest::addColumn<bool>("south");
    QTest::addColumn<double>("last");
    QTest::newRow("M2-ORION 359.96") << int(M2Orion) << 359.96 << false << 0.0;
    QTest::newRow("M2-ORION south 10") << int(M2Orion) << 10.0 << true << 190.0;
    QTest::newRow("EGIS 12.6") << int(EGIS) << 12.6 << false << 13.0;
    QTest::newRow("GS-232 keeps the target") << int(GS232) << 12.6 << false << 12.6;
}

void TestSerialProtocols::lastAzimuthIsTheWholeDegreesSent()
{
    QFETCH(int, rotator);
    QFETCH(double, target);
    QFETCH(bool, south);
    QFETCH(double, last);
    const SerialProtocol &protocol = *serialProtocol(rotator);
    select(rotator, 3);
    settings().*protocol.stopSide = south ? SouthStop : NorthStop;
    settings().TargetAzimuth = target;
    track(protocol);
    QCOMPARE(double(settings().LastAzimuth), last);
}

void TestSerialProtocols::proSisTelCpmOffOnlyAfterAnOpen()
{
    const SerialProtocol &protocol = *serialProtocol(ProSisTel);
    select(ProSisTel, 3);
    cpmOff = true;
    settings().TargetAzimuth = 10;
    track(protocol);
    QCOMPARE(line->read(11), QByteArray("\x02" "AS\r\x02" "AG010\r"));
    settings().TargetAzimuth = 20;
    track(protocol);
    QCOMPARE(line->read(7), QByteArray("\x02" "AG020\r"));
}

void TestSerialProtocols::stop_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("GS-232") << int(GS232) << QByteArray("S\r") << "S\r COM3";
    QTest::newRow("EasyComm") << int(EasyComm) << QByteArray("SA\r") << "SA\r COM3";
    QTest::newRow("TrakBox keeps the label") << int(TrakBox) << QByteArray(" \r") << "AZ010 EL00\r COM3";
    QTest::newRow("ProSisTel") << int(ProSisTel) << QByteArray("\x02" "AG977\r") << "\x02" "AG977\r COM3";
    QTest::newRow("DCU-1 label without CR") << int(DCU1) << QByteArray(";\r") << "; COM3";
    QTest::newRow("M2-ORION three lines") << int(M2Orion) << QByteArray("A\rS\rN\r") << "A\rS\rN\r COM3";
    QTest::newRow("EGIS") << int(EGIS) << QByteArray("&* AZ=S\r") << "&* AZ=S\r COM3";
}

void TestSerialProtocols::stop()
{
    QFETCH(int, rotator);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const SerialProtocol &protocol = *serialProtocol(rotator);
    select(rotator, 3);
    settings().TargetAzimuth = 10;
    track(protocol);
    line->drain();
    drivers->stop(protocol);
    QCOMPARE(line->read(bytes.size()), bytes);
    QCOMPARE(label, shown);
    QVERIFY(!drivers->channel(rotator).connected());
}

void TestSerialProtocols::stopTwiceSendsOnce()
{
    DriverTable table;
    drivers->registerIn(table);
    QCOMPARE(table.at(GS232).trackName, QStringLiteral("GS_Track"));
    QCOMPARE(table.at(EGIS).stopName, QStringLiteral("EGI_Track_stop"));
    select(GS232, 3);
    settings().TargetAzimuth = 10;
    QVERIFY(table.track(GS232, [](Outcome, const QString &) {}));
    line->drain();
    table.stopAll();
    table.stopAll();
    QCOMPARE(line->drain(), QByteArray("S\r"));
    QCOMPARE(double(settings().LastAzimuth), 10.0);
}

void TestSerialProtocols::thresholdZeroSendsEveryTime()
{
    const SerialProtocol &protocol = *serialProtocol(GS232);
    select(GS232, 3);
    settings().TargetAzimuth = 42;
    track(protocol);
    track(protocol);
    QCOMPARE(line->drain(), QByteArray("W042\r"));
    settings().STEP_GS232 = 0;
    track(protocol);
    QCOMPARE(line->drain(), QByteArray("W042\r"));
}

void TestSerialProtocols::unreachablePortBeepsAndSkips_data()
{
    QTest::addColumn<int>("port");
    QTest::newRow("no port chosen") << -1;
    QTest::newRow("missing device") << 7 - 1;
}

void TestSerialProtocols::unreachablePortBeepsAndSkips()
{
    QFETCH(int, port);
    select(GS232, 3);
    settings().PORT_GS232 = port;
    settings().TargetAzimuth = 10;
    track(*serialProtocol(GS232));
    QVERIFY(settings().CommandSkipped);
    QCOMPARE((*recorder)->beeps, QList<Beep>({Beep::Default}));
    QCOMPARE(double(settings().LastAzimuth), 10.0);
}

void TestSerialProtocols::vanishedDeviceIsAnErrorThenRecovers()
{
    const SerialProtocol &protocol = *serialProtocol(GS232);
    select(GS232, 3);
    settings().STEP_GS232 = 0;
    settings().TargetAzimuth = 10;
    DriverTable table;
    drivers->registerIn(table);
    track(protocol);
    // The next command's first line goes out at once, once the pause after this one is over.
    QTRY_VERIFY(!table.busy(GS232));
    line.reset();
    QVERIFY_THROWS_EXCEPTION(TorvanelError, track(protocol));
    QVERIFY(!outcome);
    line = std::make_unique<PseudoTerminal>();
    line->linkAs(parent.path(), 3);
    track(protocol);
    QCOMPARE(line->read(5), QByteArray("W010\r"));
}

void TestSerialProtocols::closingAtShutdown_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<bool>("parks");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("GS-232") << int(GS232) << false << QByteArray("S\r");
    QTest::newRow("EasyComm") << int(EasyComm) << false << QByteArray("SA SE\r");
    QTest::newRow("M2-ORION") << int(M2Orion) << false << QByteArray("A\rS\rN\r");
    QTest::newRow("EGIS") << int(EGIS) << false << QByteArray("&* AZ=S\r");
    QTest::newRow("parking interface only closes") << int(GS232) << true << QByteArray();
}

void TestSerialProtocols::closingAtShutdown()
{
    QFETCH(int, rotator);
    QFETCH(bool, parks);
    QFETCH(QByteArray, bytes);
    select(rotator, 3);
    settings().TargetAzimuth = 10;
    track(*serialProtocol(rotator));
    line->drain();
    drivers->sendClosing(rotator, parks);
    QCOMPARE(line->drain(), bytes);
    QVERIFY(!drivers->channel(rotator).connected());
}

void TestSerialProtocols::trakBoxClosingOpensItsPort()
{
    select(TrakBox, 3);
    drivers->sendClosing(TrakBox, false);
    QCOMPARE(line->drain(), QByteArray("Q\r"));
    settings().TKB_HOST = true;
    drivers->sendClosing(TrakBox, true);
    QCOMPARE(line->drain(), QByteArray(" \r"));
    QVERIFY(!drivers->channel(TrakBox).connected());
}

QTEST_MAIN(TestSerialProtocols)
#include "test_serial_protocols.moc"
