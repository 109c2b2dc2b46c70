#include <csignal>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "support/pseudo_terminal.h"
#include "support/running_program.h"
#include "support/sample_configuration.h"

// The whole program as a process in an executable directory of its own: its configuration file
// and its exit sequence, ended by the system as a desktop session would end it.
class TestProgram : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void firstStartWritesTheSampleAtExit();
    void decimalSeparatorFollowsTheLocaleBothWays();
    void exitParksAndClosesTheLine_data();
    void exitParksAndClosesTheLine();
    void readOnlyFileIsReplaced();
    void damagedFileStartsAndKeepsTheRest();

private:
    // Starts the program, lets it reach its message loop, then sends the signal.
    int runAndEnd(const QStringList &environment = {}, int signal = SIGTERM);
    QByteArray configuration() const;
    void writeConfiguration(const QByteArray &lines);

    std::unique_ptr<QTemporaryDir> home;
};

void TestProgram::init()
{
    home = std::make_unique<QTemporaryDir>();
    const QString built = qEnvironmentVariable("TORVANEL_BUILD_DIR") + QStringLiteral("/torvanel");
    QVERIFY(QFile::copy(built, home->filePath(QStringLiteral("torvanel"))));
    QFile(home->filePath(QStringLiteral("torvanel"))).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
}

int TestProgram::runAndEnd(const QStringList &environment, int signal)
{
    return ::runAndEnd(home->filePath(QStringLiteral("torvanel")), {}, environment, signal);
}

QByteArray TestProgram::configuration() const
{
    QFile file(home->filePath(QStringLiteral("Torvanel.ini")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestProgram::writeConfiguration(const QByteArray &lines)
{
    QFile file(home->filePath(QStringLiteral("Torvanel.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[TORVANEL  V2.4.1DX]\r\n" + lines);
}

void TestProgram::firstStartWritesTheSampleAtExit()
{
    QCOMPARE(runAndEnd({QStringLiteral("LC_ALL=C")}), 0);
    const QByteArray written = configuration();
    QCOMPARE(written.left(firstStartSample.size()), firstStartSample);
    QVERIFY(!QFile::exists(home->filePath(QStringLiteral("Torvanel.~in"))));
}

void TestProgram::decimalSeparatorFollowsTheLocaleBothWays()
{
    writeConfiguration("CALAZ_POURSAT=0.75\r\nZERO_FODTRACK=-2.5\r\n");
    QCOMPARE(runAndEnd({QStringLiteral("LC_ALL=fr_FR.UTF-8")}), 0);
    QVERIFY(configuration().contains("CALAZ_POURSAT=0,75\r\n"));
    QVERIFY(configuration().contains("ZERO_FODTRACK=-2,5\r\n"));
    QCOMPARE(runAndEnd({QStringLiteral("LC_ALL=C")}), 0);
    QVERIFY(configuration().contains("CALAZ_POURSAT=0.75\r\n"));
    QVERIFY(configuration().contains("ZERO_FODTRACK=-2.5\r\n"));
}

void TestProgram::exitParksAndClosesTheLine_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("GS-232 parks at 180, no closing command")
        << QByteArray("ANT=GS232\r\nPORT_GS232=3\r\nPARKING=GS232\r\nAZIMUT_PARKING=180\r\n") << int(SIGTERM)
        << QByteArray("W180\r");
    QTest::newRow("EGIS parks, interrupted from the terminal")
        << QByteArray("ANT=EGIS\r\nPORT_EGIS=3\r\nPARKING=EGIS\r\nAZIMUT_PARKING=182.5\r\n") << int(SIGINT)
        << QByteArray("&* AZ=182.00\r");
    QTest::newRow("parking for another interface sends nothing")
        << QByteArray("ANT=GS232\r\nPORT_GS232=3\r\nPARKING=EGIS\r\nAZIMUT_PARKING=90\r\n") << int(SIGHUP)
        << QByteArray();
    // The first activation's choice of the TrakBox port runs the port test ("Q", "7").
    QTest::newRow("TrakBox leaves host mode")
        << QByteArray("ANT=TRAKBOX\r\nPORT_TRAKBOX=3\r\n") << int(SIGTERM) << QByteArray("Q\r7\rQ\r");
    QTest::newRow("TrakBox stays in host mode after parking")
        << QByteArray("ANT=TRAKBOX\r\nPORT_TRAKBOX=3\r\nTKB_HOST=Y\r\nPARKING=TRAKBOX\r\nAZIMUT_PARKING=7\r\n")
        << int(SIGTERM) << QByteArray("Q\r7\rAZ007 EL00\r \r");
}

void TestProgram::exitParksAndClosesTheLine()
{
    QFETCH(QByteArray, lines);
    QFETCH(int, signal);
    QFETCH(QByteArray, bytes);
    PseudoTerminal line;
    line.linkAs(home->path(), 3);
    writeConfiguration(lines);
    QCOMPARE(runAndEnd({QStringLiteral("LC_ALL=C")}, signal), 0);
    QCOMPARE(line.drain(), bytes);
    // The interface and its port stay as they were.
    QVERIFY(configuration().contains(lines.left(lines.indexOf("\r\n") + 2)));
}

void TestProgram::readOnlyFileIsReplaced()
{
    QCOMPARE(runAndEnd(), 0);
    QFile file(home->filePath(QStringLiteral("Torvanel.ini")));
    QVERIFY(!(file.permissions() & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)));
    QByteArray text = configuration();
    text.replace("FAV1TXT=Fav.1", "FAV1TXT=Home");
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QCOMPARE(runAndEnd(), 0);
    QVERIFY(configuration().contains("FAV1TXT=Home\r\n"));
}

void TestProgram::damagedFileStartsAndKeepsTheRest()
{
    QByteArray damage("STEP_GS232=2\r\n\x01\x02\xff=\xfe\r\nWTOP=notanumber\r\n");
    damage += "FAV2TXT=" + QByteArray(5000, 'x') + "\r\nFAV3TXT=Dx\r\n";
    writeConfiguration(damage);
    QCOMPARE(runAndEnd(), 0);
    QVERIFY(configuration().contains("STEP_GS232=2\r\n"));
    QVERIFY(configuration().contains("FAV3TXT=Dx\r\n"));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
