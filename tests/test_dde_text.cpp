#include "sources/dde_text.h"

#include <QTest>

#include "support/byte_rows.h"

#include <string_view>

using namespace std::literals;

class TestDdeText : public QObject
{
    Q_OBJECT

private slots:
    void itemText_data();
    void itemText();
    void readAzimuth_data();
    void readAzimuth();
};

void TestDdeText::itemText_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("123") << QStringLiteral("123");
    QTest::newRow("cut at the first zero byte") << bytes("12\0" "3\0"sv) << QStringLiteral("12");
    QTest::newRow("zero byte first") << bytes("\0" "123"sv) << QString();
    QTest::newRow("CR and LF become blanks") << QByteArray("123\r\n") << QStringLiteral("123  ");
    QTest::newRow("every control character a blank") << QByteArray("\x01\x09\x1b\x1f") << QStringLiteral("    ");
    QTest::newRow("DEL and blank stay") << QByteArray("\x7f ") << QStringLiteral("\x7f ");
    QTest::newRow("degree sign is Latin-1") << QByteArray("90\xb0") << QStringLiteral("90\u00b0");
    QTest::newRow("high bytes are Latin-1, not UTF-8") << QByteArray("\xc3\xa9\x80") << QStringLiteral("\u00c3\u00a9\u0080");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestDdeText::itemText()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, text);
    QCOMPARE(dde::itemText(data), text);
}

void TestDdeText::readAzimuth_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Azimuth>("azimuth");
    QTest::newRow("blanks removed, degree sign dropped") << QByteArray("2 3 4\xb0") << QStringLiteral("234") << Azimuth(234);
    QTest::newRow("CR LF: last digit dropped") << QByteArray("123\r\n") << QStringLiteral("12") << Azimuth(12);
    QTest::newRow("one character") << QByteArray("5") << QString() << Azimuth();
    QTest::newRow("empty") << QByteArray() << QString() << Azimuth();
    QTest::newRow("blanks only") << QByteArray("   ") << QString() << Azimuth();
    QTest::newRow("no range test") << QByteArray("400\xb0") << QStringLiteral("400") << Azimuth(400);
    QTest::newRow("negative") << QByteArray("-1\xb0") << QStringLiteral("-1") << Azimuth(-1);
    QTest::newRow("control character inside") << QByteArray("1\t2\xb0") << QStringLiteral("12") << Azimuth(12);
    QTest::newRow("zero byte ends the data") << bytes("12\0" "3\xb0"sv) << QStringLiteral("1") << Azimuth(1);
    QTest::newRow("fraction is no whole number") << QByteArray("12.5\xb0") << QStringLiteral("12.5") << Azimuth();
    QTest::newRow("letters") << QByteArray("abc\xb0") << QStringLiteral("abc") << Azimuth();
    QTest::newRow("huge number") << QByteArray("99999999999\xb0") << QStringLiteral("99999999999") << Azimuth();
    QTest::newRow("binary garbage") << QByteArray("\xff\x01\x80\xfe") << QStringLiteral("\u00ff\u0080") << Azimuth();
}

void TestDdeText::readAzimuth()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, text);
    QFETCH(Azimuth, azimuth);
    const auto read = dde::readAzimuth(dde::itemText(data));
    QCOMPARE(read.text, text);
    QCOMPARE(read.azimuth, azimuth);
}

QTEST_GUILESS_MAIN(TestDdeText)
#include "test_dde_text.moc"
