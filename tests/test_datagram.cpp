#include "sources/datagram.h"
#include "sources/whole_number.h"

#include <QTest>

#include "support/byte_rows.h"

#include <string_view>

using namespace std::literals;

class TestDatagram : public QObject
{
    Q_OBJECT

private slots:
    void goAzimuth_data();
    void goAzimuth();
    void holdsStop_data();
    void holdsStop();
    void wholeNumber_data();
    void wholeNumber();
};

void TestDatagram::goAzimuth_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<Azimuth>("azimuth");
    const Azimuth ignored;
    QTest::newRow("whole degrees") << QByteArray("<goazi>123</goazi>") << Azimuth(123);
    QTest::newRow("point fraction dropped, not rounded") << QByteArray("<goazi>123.7</goazi>") << Azimuth(123);
    QTest::newRow("comma fraction dropped") << QByteArray("<goazi>123,9</goazi>") << Azimuth(123);
    QTest::newRow("point before comma") << QByteArray("<goazi>12.3,4</goazi>") << Azimuth(12);
    QTest::newRow("comma before point") << QByteArray("<goazi>12,3.4</goazi>") << Azimuth(12);
    QTest::newRow("leading blanks") << QByteArray("<goazi>  45</goazi>") << Azimuth(45);
    QTest::newRow("trailing blank") << QByteArray("<goazi>45 </goazi>") << ignored;
    QTest::newRow("leading zeros") << QByteArray("<goazi>0090</goazi>") << Azimuth(90);
    QTest::newRow("plus sign") << QByteArray("<goazi>+90</goazi>") << Azimuth(90);
    QTest::newRow("0 accepted") << QByteArray("<goazi>0</goazi>") << Azimuth(0);
    QTest::newRow("minus zero") << QByteArray("<goazi>-0</goazi>") << Azimuth(0);
    QTest::newRow("360 accepted") << QByteArray("<goazi>360</goazi>") << Azimuth(360);
    QTest::newRow("360 and a fraction") << QByteArray("<goazi>360.9</goazi>") << Azimuth(360);
    QTest::newRow("361 out of range") << QByteArray("<goazi>361</goazi>") << ignored;
    QTest::newRow("negative out of range") << QByteArray("<goazi>-5</goazi>") << ignored;
    QTest::newRow("just below zero") << QByteArray("<goazi>-0.5</goazi>") << Azimuth(0);
    QTest::newRow("huge number") << QByteArray("<goazi>99999999999999999999</goazi>") << ignored;
    QTest::newRow("just past int range") << QByteArray("<goazi>4294967386</goazi>") << ignored;
    QTest::newRow("empty between tags") << QByteArray("<goazi></goazi>") << ignored;
    QTest::newRow("fraction only") << QByteArray("<goazi>.5</goazi>") << ignored;
    QTest::newRow("sign only") << QByteArray("<goazi>-</goazi>") << ignored;
    QTest::newRow("blanks only") << QByteArray("<goazi>  </goazi>") << ignored;
    QTest::newRow("letters") << QByteArray("<goazi>abc</goazi>") << ignored;
    QTest::newRow("digits then letters") << QByteArray("<goazi>12a</goazi>") << ignored;
    QTest::newRow("hexadecimal") << QByteArray("<goazi>$5A</goazi>") << ignored;
    QTest::newRow("closing tag first") << QByteArray("</goazi><goazi>90</goazi>") << ignored;
    QTest::newRow("no closing tag") << QByteArray("<goazi>90") << ignored;
    QTest::newRow("no opening tag") << QByteArray("90</goazi>") << ignored;
    QTest::newRow("tags in capitals") << QByteArray("<GOAZI>90</GOAZI>") << ignored;
    QTest::newRow("empty datagram") << QByteArray() << ignored;
    QTest::newRow("other elements around")
        << QByteArray("<N1MMRotor><rotor>Tower</rotor><goazi>210.5</goazi><offset>0.0</offset><bidirectional>0</bidirectional></N1MMRotor>")
        << Azimuth(210);
    QTest::newRow("only the first opening tag counts") << QByteArray("<goazi>10</goazi><goazi>20</goazi>") << Azimuth(10);
    QTest::newRow("opening tag twice before closing") << QByteArray("<goazi><goazi>30</goazi>") << ignored;
    QTest::newRow("zero byte before the tags") << bytes("\0<goazi>45</goazi>"sv) << Azimuth(45);
    QTest::newRow("zero byte in the value") << bytes("<goazi>4\0" "5</goazi>"sv) << ignored;
    QTest::newRow("byte above ASCII in the value") << QByteArray("<goazi>12\xb3</goazi>") << ignored;
    QTest::newRow("Arabic-Indic digits") << QByteArray("<goazi>\xd9\xa1\xd9\xa2</goazi>") << ignored;
    QTest::newRow("fullwidth digits") << QByteArray("<goazi>\xef\xbc\x91\xef\xbc\x92</goazi>") << ignored;
    QTest::newRow("binary garbage") << bytes("\xff\xfe<go\x00\x01" "azi>\x80\x90</goazi>"sv) << ignored;
}

void TestDatagram::goAzimuth()
{
    QFETCH(QByteArray, datagram);
    QFETCH(Azimuth, azimuth);
    QCOMPARE(datagram::goAzimuth(datagram), azimuth);
}

void TestDatagram::holdsStop_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("stop");
    QTest::newRow("stop element") << QByteArray("<N1MMRotor><stop><rotor>Tower</rotor></stop></N1MMRotor>") << true;
    QTest::newRow("stop tag with attributes") << QByteArray("<stop now=\"1\"/>") << true;
    QTest::newRow("after a zero byte") << bytes("x\0<stop>"sv) << true;
    QTest::newRow("word without tag") << QByteArray("stop") << false;
    QTest::newRow("capitals") << QByteArray("<STOP>") << false;
    QTest::newRow("azimuth request") << QByteArray("<goazi>90</goazi>") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestDatagram::holdsStop()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, stop);
    QCOMPARE(datagram::holdsStop(datagram), stop);
}

void TestDatagram::wholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Azimuth>("number");
    QTest::newRow("int maximum") << QStringLiteral("2147483647") << Azimuth(2147483647);
    QTest::newRow("int minimum") << QStringLiteral("-2147483648") << Azimuth(-2147483647 - 1);
    QTest::newRow("above int maximum") << QStringLiteral("2147483648") << Azimuth();
    QTest::newRow("below int minimum") << QStringLiteral("-2147483649") << Azimuth();
    QTest::newRow("two signs") << QStringLiteral("+-1") << Azimuth();
    QTest::newRow("blank after the sign") << QStringLiteral("- 1") << Azimuth();
    QTest::newRow("tab before") << QStringLiteral("\t1") << Azimuth();
    QTest::newRow("empty") << QString() << Azimuth();
}

void TestDatagram::wholeNumber()
{
    QFETCH(QString, text);
    QFETCH(Azimuth, number);
    QCOMPARE(::wholeNumber(text), number);
}

QTEST_GUILESS_MAIN(TestDatagram)
#include "test_datagram.moc"
