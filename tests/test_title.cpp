#include <QtTest>

#include "app/settings.h"
#include "app/title.h"

// The title for each interface, with and without its port, and the parking part.
class TestTitle : public QObject
{
    Q_OBJECT
private slots:
    void title_data();
    void title();
};

namespace {

using Change = std::function<void(Settings &)>;

const QString base = QStringLiteral("TORVANEL V2.4.1[DX]");

} // namespace

void TestTitle::title_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("title");
    auto row = [](const char *tag, Change change, const QString &ending) {
        QTest::newRow(tag) << change << base + ending;
    };
    auto select = [](int rotatorInterface, Change more = nullptr) {
        return Change([=](Settings &s) {
            s.ANT = rotatorInterface;
            if (more)
                more(s);
        });
    };
    auto parkHere = [](Settings &s) {
        s.PARKING = s.ANT + 1;
        s.AZIMUT_PARKING = 90;
    };
    auto withPortAndParking = [=](int rotatorInterface, int Settings::*port) {
        return select(rotatorInterface, [=](Settings &s) {
            s.*port = 4;
            parkHere(s);
        });
    };

    row("no interface", select(NoInterface), QString());
    row("no interface, parking ignored", select(NoInterface, [](Settings &s) { s.PARKING = 4; }), QString());

    row("PourSat without LPT, parking not shown", select(PourSat, parkHere), " - PourSat / no LPT");
    row("PourSat on LPT2 with parking", select(PourSat, [=](Settings &s) {
            s.LptName = {QStringLiteral("LPT1"), QStringLiteral("LPT2"), QString()};
            s.LPT_POURSAT = 1;
            parkHere(s);
        }), QString::fromUtf8(" - PourSat / LPT2 / Parking=90°"));
    row("FODTrack without LPT", select(FODTrack), " - FODTRack / no LPT");
    row("FODTrack on LPT1", select(FODTrack, [](Settings &s) {
            s.LptName[0] = QStringLiteral("LPT1");
            s.LPT_FODTRACK = 0;
        }), " - FODTrack / LPT1");
    row("EA4TX parks without a port", select(EA4TX, parkHere), QString::fromUtf8(" - EA4TX /ARSWIN / Parking=90°"));
    row("KCT parks without a port", select(KCT, parkHere), QString::fromUtf8(" - KCT / Parking=90°"));

    row("GS232 without COM", select(GS232, parkHere), " - GS232 / no COM");
    row("EasyComm without COM", select(EasyComm), " - EasyComm / no COM");
    row("TrakBox without COM", select(TrakBox), " - TrakBox / no COM");
    row("ProSisTel without COM", select(ProSisTel), " - ProSisTel / no COM");
    row("DCU1 without COM", select(DCU1), " - DCU1 / no COM");
    row("M2ORION without COM", select(M2Orion), " - M2ORION / no COM");
    row("EGIS without COM", select(EGIS), " - EGIS / no COM");

    row("GS232 on COM3 at 4800, parking 180", select(GS232, [](Settings &s) {
            s.PORT_GS232 = 2;
            s.PARKING = GS232 + 1;
            s.AZIMUT_PARKING = 180;
        }), QString::fromUtf8(" - GS232 / COM3 / 4800 / Parking=180°"));
    row("EasyComm shows its baud text", select(EasyComm, [](Settings &s) {
            s.PORT_EASYCOMM = 11;
            s.BAUD_EASYCOMM.text = QStringLiteral("19200");
        }), " - EasyComm / COM12 / 19200");
    row("TrakBox", withPortAndParking(TrakBox, &Settings::PORT_TRAKBOX), QString::fromUtf8(" - TrakBox / COM5 / 4800 / Parking=90°"));
    row("ProSisTel always 9600", withPortAndParking(ProSisTel, &Settings::PORT_PROSISTEL), QString::fromUtf8(" - ProSisTel / COM5 / 9600 / Parking=90°"));
    row("DCU1", withPortAndParking(DCU1, &Settings::PORT_DCU1), QString::fromUtf8(" - DCU1 / COM5 / 4800 / Parking=90°"));
    row("M2ORION always 9600", withPortAndParking(M2Orion, &Settings::PORT_M2ORION), QString::fromUtf8(" - M2ORION / COM5 / 9600 / Parking=90°"));
    row("EGIS always 9600", withPortAndParking(EGIS, &Settings::PORT_EGIS), QString::fromUtf8(" - EGIS / COM5 / 9600 / Parking=90°"));
    row("a baud text outside the table is shown as stored", select(DCU1, [](Settings &s) {
            s.PORT_DCU1 = 0;
            s.BAUD_DCU1 = {QStringLiteral("12345"), -1};
        }), " - DCU1 / COM1 / 12345");

    auto gs232ParkingAt = [=](long double azimuth) {
        return select(GS232, [=](Settings &s) {
            s.PORT_GS232 = 0;
            s.PARKING = GS232 + 1;
            s.AZIMUT_PARKING = azimuth;
        });
    };
    row("parking 182.5 rounds down to even", gs232ParkingAt(182.5L), QString::fromUtf8(" - GS232 / COM1 / 4800 / Parking=182°"));
    row("parking 183.5 rounds up to even", gs232ParkingAt(183.5L), QString::fromUtf8(" - GS232 / COM1 / 4800 / Parking=184°"));
    row("parking for another interface is not shown", select(GS232, [](Settings &s) {
            s.PORT_GS232 = 0;
            s.PARKING = EGIS + 1;
        }), " - GS232 / COM1 / 4800");
}

void TestTitle::title()
{
    QFETCH(Change, change);
    QFETCH(QString, title);
    Settings s;
    change(s);
    QCOMPARE(titleText(s), title);
}

QTEST_APPLESS_MAIN(TestTitle)
#include "test_title.moc"
