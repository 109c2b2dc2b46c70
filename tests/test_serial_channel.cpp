#include <cerrno>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/error.h"
#include "platform/serial_names.h"
#include "rotator/serial_channel.h"
#include "support/pseudo_terminal.h"

namespace {
// The text of the TorvanelError that action throws, empty when it throws none.
template<typename Action>
QString errorOf(Action action)
{
    try {
        action();
    } catch (const TorvanelError &error) {
        return error.text();
    }
    return QString();
}

QString openError(int code)
{
    return QStringLiteral("Unable to open com port (Error: %1)").arg(code);
}
}

class TestSerialChannel : public QObject
{
    Q_OBJECT

    QTemporaryDir parent;
    void link(const QString &com, const QString &target)
    {
        const QString path = parent.path() + QLatin1String("/comports/") + com;
        QFile::remove(path);
        QVERIFY(QFile::link(target, path));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(parent.path()).mkdir(QStringLiteral("comports")));
        platform::setComportsParent(parent.path());
    }

    void sendsOneBytePerCharacter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("EGIS stop") << QStringLiteral("&* AZ=S\r") << QByteArray("\x26\x2A\x20\x41\x5A\x3D\x53\x0D");
        QTest::newRow("Latin-1, not UTF-8") << QStringLiteral("\u00E9") << QByteArray("\xE9");
        QTest::newRow("low eight bits of a wider code") << QStringLiteral("\u2126") << QByteArray("\x26");
    }
    void sendsOneBytePerCharacter()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        PseudoTerminal line;
        link(QStringLiteral("COM3"), line.path);
        SerialChannel channel(SerialChannelId::ComPortEGI);
        channel.setPortName(QStringLiteral("COM3"));
        channel.open();
        QVERIFY(channel.connected());
        QCOMPARE(channel.write(text), bytes.size());
        QCOMPARE(line.read(bytes.size()), bytes);
    }

    void opensRawEightNoneOneWithoutFlowControl()
    {
        PseudoTerminal line;
        link(QStringLiteral("COM3"), line.path);
        SerialChannel channel(SerialChannelId::ComPortDCU);
        channel.setPortName(QStringLiteral("COM3"));
        channel.open();
        const termios settings = line.lineSettings();
        QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(settings.c_iflag & (IXON | IXOFF | ISTRIP | INPCK), tcflag_t(0));
        QCOMPARE(settings.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(cfgetospeed(&settings), speed_t(B4800));
    }

    void openFailureLeavesChannelClosed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target"); // of the comports link; none when empty
        QTest::addColumn<QString>("error");
        QTest::newRow("link to a missing device") << "COM9" << "/nonexistent/ttyUSB7" << openError(ENOENT);
        QTest::newRow("number beyond the table") << "COM200" << "" << openError(ENOENT);
        QTest::newRow("link to a plain file") << "COM8" << "plain" << openError(ENOTTY);
    }
    void openFailureLeavesChannelClosed()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(QString, error);
        QFile plain(parent.path() + QLatin1String("/plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        if (!target.isEmpty())
            link(name, target.startsWith(QLatin1Char('/')) ? target : plain.fileName());
        SerialChannel channel(SerialChannelId::ComPortGS);
        channel.setPortName(name);
        QCOMPARE(errorOf([&] { channel.open(); }), error);
        QVERIFY(!channel.connected());
    }

    void closedChannelRefuses_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("error");
        QTest::newRow("write") << true << QStringLiteral("Port Not Open");
        QTest::newRow("clear buffer") << false << QStringLiteral("PurgeComm function failed (Error: %1)").arg(QSerialPort::NotOpenError);
    }
    void closedChannelRefuses()
    {
        QFETCH(bool, write);
        QFETCH(QString, error);
        SerialChannel channel(SerialChannelId::ComPortGS);
        QCOMPARE(errorOf([&] {
                     if (write)
                         channel.write(QStringLiteral("S\r"));
                     else
                         channel.clearBuffer(QSerialPort::AllDirections);
                 }),
                 error);
    }

    // COM5 is opened on the first line, then both COM5 and COM6 are pointed at the second:
    // only a channel that really opens again reaches the second line.
    void reconnectsOnlyWhenSomethingChanged_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("reachesSecondLine");
        QTest::newRow("open again does nothing") << 0 << false;
        QTest::newRow("unchanged name does nothing") << 1 << false;
        QTest::newRow("new name reconnects") << 2 << true;
        QTest::newRow("close twice, then open") << 3 << true;
    }
    void reconnectsOnlyWhenSomethingChanged()
    {
        QFETCH(int, action);
        QFETCH(bool, reachesSecondLine);
        PseudoTerminal first;
        PseudoTerminal second;
        link(QStringLiteral("COM5"), first.path);
        SerialChannel channel(SerialChannelId::ComPortEasy);
        channel.setPortName(QStringLiteral("COM5"));
        channel.open();
        link(QStringLiteral("COM5"), second.path);
        link(QStringLiteral("COM6"), second.path);
        switch (action) {
        case 0: channel.open(); break;
        case 1: channel.setPortName(QStringLiteral("COM5")); break;
        case 2: channel.setPortName(QStringLiteral("COM6")); break;
        case 3:
            channel.close();
            channel.close();
            QVERIFY(!channel.connected());
            channel.open();
            break;
        }
        QVERIFY(channel.connected());
        channel.write(QStringLiteral("SA\r"));
        QCOMPARE((reachesSecondLine ? second : first).read(3), QByteArray("SA\r"));
    }

    // The test sets the line to 1200 behind the channel's back: an unchanged rate must not
    // be applied again.
    void appliesNewRates_data()
    {
        QTest::addColumn<bool>("openFirst");
        QTest::addColumn<qint32>("rate");
        QTest::addColumn<speed_t>("speed");
        QTest::newRow("unchanged rate leaves the line") << true << 9600 << speed_t(B1200);
        QTest::newRow("new rate applies at once") << true << 4800 << speed_t(B4800);
        QTest::newRow("closed channel takes it at open") << false << 19200 << speed_t(B19200);
        QTest::newRow("rate outside the system's list") << true << 14400 << speed_t(CBAUDEX);
    }
    void appliesNewRates()
    {
        QFETCH(bool, openFirst);
        QFETCH(qint32, rate);
        QFETCH(speed_t, speed);
        PseudoTerminal line;
        link(QStringLiteral("COM4"), line.path);
        SerialChannel channel(SerialChannelId::ComPortTKB);
        channel.setPortName(QStringLiteral("COM4"));
        if (openFirst) {
            channel.open();
            termios settings = line.lineSettings();
            cfsetspeed(&settings, B1200);
            QCOMPARE(::tcsetattr(line.slave, TCSANOW, &settings), 0);
        }
        channel.setBaudRate(rate);
        channel.open();
        QCOMPARE(channel.baudRate(), rate);
        const termios settings = line.lineSettings();
        QCOMPARE(cfgetospeed(&settings), speed);
    }

    // The lock file holds even for root, and for a second name of the same device.
    void busyPortRefusesSecondChannel_data()
    {
        QTest::addColumn<QString>("secondName");
        QTest::newRow("same name") << QStringLiteral("COM5");
        QTest::newRow("other name, same device") << QStringLiteral("COM7");
    }
    void busyPortRefusesSecondChannel()
    {
        QFETCH(QString, secondName);
        PseudoTerminal line;
        link(QStringLiteral("COM5"), line.path);
        link(QStringLiteral("COM7"), line.path);
        SerialChannel holder(SerialChannelId::ComPortPro);
        holder.setPortName(QStringLiteral("COM5"));
        holder.open();
        SerialChannel second(SerialChannelId::ComPortM2);
        second.setPortName(secondName);
        QCOMPARE(errorOf([&] { second.open(); }), openError(QSerialPort::PermissionError));
        QVERIFY(!second.connected());
        holder.close();
        second.open();
        QVERIFY(second.connected());
    }

    void vanishedDeviceClosesAndReopens()
    {
        auto line = std::make_unique<PseudoTerminal>();
        link(QStringLiteral("COM5"), line->path);
        SerialChannel channel(SerialChannelId::ComPortGS);
        channel.setPortName(QStringLiteral("COM5"));
        channel.open();
        line.reset();
        QCOMPARE(errorOf([&] { channel.write(QStringLiteral("W123\r")); }),
                 QStringLiteral("WriteFile function failed (Error: %1)").arg(EIO));
        QVERIFY(!channel.connected());

        PseudoTerminal replacement;
        link(QStringLiteral("COM5"), replacement.path);
        channel.open();
        channel.write(QStringLiteral("W124\r"));
        QCOMPARE(replacement.read(5), QByteArray("W124\r"));
    }

    // The peer holds the line (as XOFF would): the write gives up after its time-out and
    // its bytes never reach the peer, not even in front of the next command.
    void timedOutWriteDropsItsBytes()
    {
        PseudoTerminal line;
        link(QStringLiteral("COM5"), line.path);
        SerialChannel channel(SerialChannelProfile{9600, 0, 100});
        channel.setPortName(QStringLiteral("COM5"));
        channel.open();
        QCOMPARE(::tcflow(line.slave, TCOOFF), 0);
        QCOMPARE(channel.write(QStringLiteral("W123\r")), 0);
        QVERIFY(channel.connected());
        QCOMPARE(::tcflow(line.slave, TCOON), 0);
        QCOMPARE(channel.write(QStringLiteral("W124\r")), 5);
        QCOMPARE(line.read(5), QByteArray("W124\r"));
    }

    void writeTimeoutGrowsOnlyOnDcu1_data()
    {
        QTest::addColumn<SerialChannelId>("id");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("timeout");
        QTest::newRow("DCU-1 position command") << SerialChannelId::ComPortDCU << 8 << 2600;
        QTest::newRow("DCU-1 stop command") << SerialChannelId::ComPortDCU << 2 << 1400;
        QTest::newRow("GS-232 position command") << SerialChannelId::ComPortGS << 5 << 5000;
        QTest::newRow("EGIS position command") << SerialChannelId::ComPortEGI << 13 << 5000;
    }
    void writeTimeoutGrowsOnlyOnDcu1()
    {
        QFETCH(SerialChannelId, id);
        QFETCH(int, bytes);
        QFETCH(int, timeout);
        QCOMPARE(SerialChannel(id).writeTimeout(bytes), timeout);
    }
};

QTEST_GUILESS_MAIN(TestSerialChannel)
#include "test_serial_channel.moc"
