#include "sources/locator.h"

#include <QTest>

#include "support/byte_rows.h"

#include <hamlib/rotator.h>

#include <cmath>
#include <cstdio>
#include <limits>

using namespace std::literals;

namespace {

// Every answer as rotctld prints it: lines of numbers, here joined by blanks, or the refusal.
const QString Refused = QStringLiteral("refused");

// Hamlib's side goes through the C library's "%f", as rotctld's own output does.
QString printed(double value)
{
    char text[400];
    std::snprintf(text, sizeof text, "%f", value);
    return QString::fromLatin1(text);
}

QString ours(std::initializer_list<double> values)
{
    QStringList texts;
    for (double value : values)
        texts.append(locator::sixDecimals(value));
    return texts.join(u' ');
}

QString theirs(std::initializer_list<double> values)
{
    QStringList texts;
    for (double value : values)
        texts.append(printed(value));
    return texts.join(u' ');
}

QString centre(const QByteArray &text)
{
    const auto position = locator::toLongLat(text);
    return position ? ours({position->longitude, position->latitude}) : Refused;
}

QString hamlibCentre(const QByteArray &text)
{
    double longitude, latitude;
    return locator2longlat(&longitude, &latitude, text.constData()) == RIG_OK ? theirs({longitude, latitude}) : Refused;
}

QString hamlibPath(const QByteArray &from, const QByteArray &to)
{
    double lon1, lat1, lon2, lat2, distance, azimuth;
    if (locator2longlat(&lon1, &lat1, from.constData()) != RIG_OK
        || locator2longlat(&lon2, &lat2, to.constData()) != RIG_OK
        || qrb(lon1, lat1, lon2, lat2, &distance, &azimuth) != RIG_OK)
        return Refused;
    return theirs({azimuth, azimuth_long_path(azimuth), distance});
}

} // namespace

class TestLocator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void locators_data();
    void locators();
    void coordinates_data();
    void coordinates();
    void longPath_data();
    void longPath();
    void squares_data();
    void squares();
    void toDecimal_data();
    void toDecimal();
    void toDms_data();
    void toDms();
};

void TestLocator::initTestCase()
{
    rig_set_debug(RIG_DEBUG_NONE);
}

void TestLocator::locators_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("Munich to New York, mixed case") << QByteArray("JN58td") << QByteArray("fn20XR");
    QTest::newRow("across the date line") << QByteArray("RK39") << QByteArray("AK30");
    QTest::newRow("in the poles' rows") << QByteArray("IR95") << QByteArray("RR99XX99XX99");
    QTest::newRow("antipodes, due north") << QByteArray("JJ00aa") << QByteArray("AI09ax");
    QTest::newRow("the same square") << QByteArray("jn58TD") << QByteArray("JN58td");
    QTest::newRow("odd or long texts read by whole pairs") << QByteArray("JN5") << QByteArray("JN58TD25AB12CD99");
    QTest::newRow("a zero byte ends the text") << bytes("JN\0" "58"sv) << QByteArray("FN20");
    QTest::newRow("field beyond R, letter for a digit") << QByteArray("SA00") << QByteArray("JNA8");
    QTest::newRow("subsquare and fifth pair beyond X") << QByteArray("JN58ty") << QByteArray("JN58TD25YA");
    QTest::newRow("under one pair") << QByteArray("J") << QByteArray();
}

void TestLocator::locators()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QCOMPARE(centre(from), hamlibCentre(from));
    QCOMPARE(centre(to), hamlibCentre(to));
    const auto path = locator::path(from, to);
    QCOMPARE(path ? ours({path->azimuth, path->longPathAzimuth, path->distance}) : Refused, hamlibPath(from, to));
}

void TestLocator::coordinates_data()
{
    QTest::addColumn<double>("lon1");
    QTest::addColumn<double>("lat1");
    QTest::addColumn<double>("lon2");
    QTest::addColumn<double>("lat2");
    QTest::newRow("from the north pole itself") << 0.0 << 90.0 << 10.0 << 50.0;
    QTest::newRow("to the south pole itself, from 180") << 180.0 << 50.0 << 0.0 << -90.0;
    QTest::newRow("latitude beyond 90") << 0.0 << 0.0 << 0.0 << 90.000001;
    QTest::newRow("longitude beyond -180") << -180.000001 << 0.0 << 0.0 << 0.0;
    QTest::newRow("within the antipodal tolerance") << 0.0 << 0.0 << 179.92 << 0.0;
    QTest::newRow("just west of north rounds up to 360") << 0.0 << 0.0 << -0.001 << 10.0;
    QTest::newRow("a millionth of a degree is the same place") << 10.0 << 50.0 << 10.000001 << 50.0;
}

void TestLocator::coordinates()
{
    QFETCH(double, lon1);
    QFETCH(double, lat1);
    QFETCH(double, lon2);
    QFETCH(double, lat2);
    const auto q = locator::qrb(lon1, lat1, lon2, lat2);
    double distance, azimuth;
    const bool valid = qrb(lon1, lat1, lon2, lat2, &distance, &azimuth) == RIG_OK;
    QCOMPARE(q ? ours({q->distance, q->azimuth}) : Refused, valid ? theirs({distance, azimuth}) : Refused);
}

void TestLocator::longPath_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("south") << 180.0;
    QTest::newRow("360") << 360.0;
    QTest::newRow("west of south") << 359.5;
    QTest::newRow("a tie at the sixth decimal") << 0.0078125;
    QTest::newRow("below 0") << -0.5;
    QTest::newRow("beyond 360") << 360.5;
}

void TestLocator::longPath()
{
    QFETCH(double, value);
    // Hamlib's azimuth_long_path answers -RIG_EINVAL, which rotctld takes as any negative answer.
    const auto azimuth = locator::longPathAzimuth(value);
    const double hamlibAzimuth = azimuth_long_path(value);
    QCOMPARE(azimuth ? ours({*azimuth}) : Refused, hamlibAzimuth >= 0 ? theirs({hamlibAzimuth}) : Refused);
    QCOMPARE(ours({locator::longPathDistance(value)}), theirs({distance_long_path(value)}));
}

void TestLocator::squares_data()
{
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<int>("pairs");
    QTest::newRow("six pairs show Hamlib's millionth") << 11.5 << 48.1 << 6;
    QTest::newRow("180 east and 90 north wrap to AA") << 180.0 << 90.0 << 3;
    QTest::newRow("far beyond the globe, below A") << -600.0 << -300.0 << 2;
    QTest::newRow("no pair") << 0.0 << 0.0 << 0;
    QTest::newRow("seven pairs") << 0.0 << 0.0 << 7;
    QTest::newRow("nan, undefined in Hamlib") << std::numeric_limits<double>::quiet_NaN() << 0.0 << 3;
}

void TestLocator::squares()
{
    QFETCH(double, longitude);
    QFETCH(double, latitude);
    QFETCH(int, pairs);
    const auto text = locator::fromLongLat(longitude, latitude, pairs);
    char hamlibText[16];
    const bool valid = !std::isnan(longitude) && longlat2locator(longitude, latitude, hamlibText, pairs) == RIG_OK;
    QCOMPARE(text.value_or(Refused.toLatin1()), valid ? QByteArray(hamlibText) : Refused.toLatin1());
}

void TestLocator::toDecimal_data()
{
    QTest::addColumn<int>("degrees");
    QTest::addColumn<double>("minutes");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("southWest");
    QTest::newRow("south") << 48 << 8.0 << 45.5 << 1;
    QTest::newRow("parts by their size, bar dmm's seconds") << -10 << -30.0 << -30.0 << 0;
    QTest::newRow("a flag of 2 is north") << 10 << 30.0 << 30.0 << 2;
    QTest::newRow("a zero south keeps its sign") << 0 << 0.0 << 0.0 << 1;
    QTest::newRow("a tie at the sixth decimal") << 0 << 0.46875 << 28.125 << 1;
    QTest::newRow("beyond 360 not folded") << 400 << 70.0 << 70.0 << 0;
}

void TestLocator::toDecimal()
{
    QFETCH(int, degrees);
    QFETCH(double, minutes);
    QFETCH(double, seconds);
    QFETCH(int, southWest);
    QCOMPARE(ours({locator::fromDms(degrees, int(minutes), seconds, southWest),
                   locator::fromDmm(degrees, minutes, seconds, southWest)}),
             theirs({dms2dec(degrees, int(minutes), seconds, southWest), dmmm2dec(degrees, minutes, seconds, southWest)}));
}

void TestLocator::toDms_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("floor of a negative") << -96.8333;
    QTest::newRow("270 is 90 west") << 270.0;
    QTest::newRow("180 west is 180 east") << -180.0;
    QTest::newRow("540 is 180 east") << 540.0;
    QTest::newRow("negative zero is north") << -0.0;
    QTest::newRow("seconds just below 60") << 10.9999999;
    QTest::newRow("infinity, undefined in Hamlib") << std::numeric_limits<double>::infinity();
}

void TestLocator::toDms()
{
    QFETCH(double, value);
    const auto dms = locator::toDms(value);
    const QString text = dms ? QStringLiteral("%1 %2 %3 %4 %5")
                                   .arg(dms->degrees).arg(dms->minutes).arg(locator::sixDecimals(dms->seconds))
                                   .arg(int(dms->southWest)).arg(locator::sixDecimals(dms->decimalMinutes()))
                             : Refused;
    QString expected = Refused;
    int degrees, minutes, southWest;
    double seconds, decimalMinutes;
    if (std::isfinite(value) && dec2dms(value, &degrees, &minutes, &seconds, &southWest) == RIG_OK
        && dec2dmmm(value, &degrees, &decimalMinutes, &southWest) == RIG_OK)
        expected = QStringLiteral("%1 %2 %3 %4 %5").arg(degrees).arg(minutes).arg(printed(seconds))
                       .arg(southWest).arg(printed(decimalMinutes));
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestLocator)
#include "test_locator.moc"
