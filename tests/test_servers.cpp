#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <cstdio>
#include <memory>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "sources/udp_server.h"
#include "support/free_ports.h"
#include "support/gs232_station.h"
#include "ui/settings_dialog.h"
#include "ui/tform1.h"
#include "ui/up_down.h"

namespace {

const QString BindFailure =
    QString::fromUtf8("Impossible de lier le socket. L'adresse et le port sont déjà en cours d'utilisation.");

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

// A ddepublish server of the "Azimuth" item, fed through its standard input.
class Publisher
{
public:
    Publisher(const QString &service, const QString &text) : service(service)
    {
        const QString program = qEnvironmentVariable("TORVANEL_BUILD_DIR") + QStringLiteral("/ddepublish");
        process.start(program, {service, QStringLiteral("Data"), QStringLiteral("Azimuth"), text});
        // A loaded machine, or a sanitizer build, may take seconds to start it up to its name.
        started = process.waitForStarted()
               && QTest::qWaitFor([&] { return bus().interface()->isServiceRegistered(QStringLiteral("dde.") + service); },
                                  20000);
    }
    ~Publisher()
    {
        process.kill();
        process.waitForFinished();
    }

    // Returns once the value is the server's: every Changed it emitted before has reached us.
    void publish(const QString &line)
    {
        process.write(line.toUtf8() + '\n');
        QVERIFY(QTest::qWaitFor([&] { return value() == line.toLatin1(); }));
        QCoreApplication::processEvents();
    }

    void quit()
    {
        process.terminate();
        process.waitForFinished();
    }

    bool started = false;

private:
    QByteArray value()
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("dde.") + service, QStringLiteral("/Data"),
            QStringLiteral("dde.Conversation"), QStringLiteral("Request"));
        message << QStringLiteral("Azimuth");
        return bus().call(message).arguments().value(0).toByteArray();
    }

    QString service;
    QProcess process;
};

} // namespace

// The azimuth servers through the real main window: datagrams over loopback into the listener,
// DDE items from ddepublish on the private bus, commands read from a GS-232 pseudo-terminal.
class TestServers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void datagrams_data();
    void datagrams();
    void otherServerSelectedIgnoresDatagrams();
    void selectingTwiceBindsOnce();
    void burstsNeverDeafenTheListener();
    void headingToTheLogger_data();
    void headingToTheLogger();
    void bindFailureIsReportedAndRetried();
    void bindFailureAtFirstActivationIsReportedOnce();
    void configurationSelectsWithoutListening();
    void portChangeMovesTheListener();
    void ddeTexts_data();
    void ddeTexts();
    void firstActivationOpensTheLink();
    void ddeChangesAndServerQuitting();
    void switchingBetweenServers();

private:
    // A window with GS-232 on the line, AUTO on, activated, showing 77.
    void createWindow(bool n1mm);
    void send(const QByteArray &bytes);
    // Every datagram sent before has been handled, and its command is out.
    void barrier();

    std::unique_ptr<Gs232Station> station;
    TForm1 *window = nullptr;
    quint16 port = 0;
    QUdpSocket sender;
    QList<QByteArray> received;
};

void TestServers::initTestCase()
{
    QVERIFY(bus().isConnected());
    // Servers started by the window must not read the terminal.
    QVERIFY(std::freopen("/dev/null", "r", stdin));
}

void TestServers::init()
{
    station = std::make_unique<Gs232Station>();
    port = freeUdpPort();
    settings().N1mmPort = quint16(port - 16);
    received.clear();
}

void TestServers::cleanup()
{
    delete window;
    window = nullptr;
    station.reset();
}

void TestServers::createWindow(bool n1mm)
{
    window = new TForm1;
    connect(window->UDPServer, &UDPServer::OnUDPRead, this, [this](const QByteArray &bytes) { received << bytes; });
    if (n1mm)
        window->MenuServerN1MM->trigger();
    window->FormActivate();
    window->BitBtnAutoClick();
    window->UpDownAzi->setPosition(77);
    QCOMPARE(station->line.read(5), QByteArray("W077\r"));
    QTRY_VERIFY(!window->engine->busy());
}

void TestServers::send(const QByteArray &bytes)
{
    QCOMPARE(sender.writeDatagram(bytes, QHostAddress::LocalHost, port), qint64(bytes.size()));
}

void TestServers::barrier()
{
    // A flood may overrun the socket's buffer, which drops the newest: send it again until it is read.
    static int barriers = 0;
    const QByteArray token = "barrier " + QByteArray::number(++barriers);
    bool read = false;
    for (int attempt = 0; attempt < 20 && !read; ++attempt) {
        send(token);
        read = QTest::qWaitFor([&] { return received.contains(token); }, 500);
    }
    QVERIFY(read);
    QTRY_VERIFY(!window->engine->busy());
}

void TestServers::datagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("azimuth");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("whole") << QByteArray("<goazi>123</goazi>") << "123" << QByteArray("W123\r");
    QTest::newRow("point fraction dropped") << QByteArray("<goazi>123.7</goazi>") << "123" << QByteArray("W123\r");
    QTest::newRow("comma fraction dropped") << QByteArray("<goazi>123,9</goazi>") << "123" << QByteArray("W123\r");
    QTest::newRow("leading blanks") << QByteArray("<goazi>  45</goazi>") << "45" << QByteArray("W045\r");
    QTest::newRow("360 wraps to 0") << QByteArray("<goazi>360</goazi>") << "0" << QByteArray("W000\r");
    QTest::newRow("inside a logger message")
        << QByteArray("<N1MMRotor><rotor>r</rotor><goazi>200.0</goazi><offset>0</offset></N1MMRotor>")
        << "200" << QByteArray("W200\r");
    QTest::newRow("first tags count") << QByteArray("<goazi>10</goazi><goazi>20</goazi>") << "10" << QByteArray("W010\r");
    QTest::newRow("azimuth shown already") << QByteArray("<goazi>77</goazi>") << "77" << QByteArray();
    QTest::newRow("361") << QByteArray("<goazi>361</goazi>") << "77" << QByteArray();
    QTest::newRow("-5") << QByteArray("<goazi>-5</goazi>") << "77" << QByteArray();
    QTest::newRow("empty value") << QByteArray("<goazi></goazi>") << "77" << QByteArray();
    QTest::newRow("letters") << QByteArray("<goazi>abc</goazi>") << "77" << QByteArray();
    QTest::newRow("closing tag first") << QByteArray("</goazi><goazi>90</goazi>") << "77" << QByteArray();
    QTest::newRow("no closing tag") << QByteArray("<goazi>90") << "77" << QByteArray();
    QTest::newRow("empty datagram") << QByteArray() << "77" << QByteArray();
    QTest::newRow("8-bit garbage") << QByteArray("\xff<goazi>\xb9\xb0</goazi>\x80") << "77" << QByteArray();
    QTest::newRow("oversize") << QByteArray("<goazi>90</goazi>").leftJustified(9000, ' ') << "77" << QByteArray();
    QTest::newRow("logger's stop is STOP") << QByteArray("<N1MMRotor><stop>r</stop></N1MMRotor>") << "77"
                                           << QByteArray("S\r");
    QTest::newRow("a stop beside an azimuth tag is no stop") << QByteArray("<stop/><goazi>abc</goazi>") << "77" << QByteArray();
}

void TestServers::datagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, azimuth);
    QFETCH(QByteArray, sent);
    createWindow(true);
    send(datagram);
    barrier();
    QCOMPARE(window->EditAzimut->text(), azimuth);
    QCOMPARE(station->line.drain(), sent);
    QVERIFY(station->recorder->messages.isEmpty());
    QVERIFY(station->recorder->beeps.isEmpty());
}

void TestServers::otherServerSelectedIgnoresDatagrams()
{
    createWindow(true);
    window->MenuServerVelmundo->trigger();
    QVERIFY(!window->UDPServer->isActive());
    // Whatever a socket still hands over once another server is chosen.
    window->UDPServerUDPRead("<goazi>90</goazi>");
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("77"));
    QCOMPARE(station->line.drain(), QByteArray());
}

// Commands going out while datagrams keep coming: azimuths closer together than a command's
// pause, then a flood of garbage; the newest azimuth of each burst reaches the line.
void TestServers::burstsNeverDeafenTheListener()
{
    createWindow(true);
    for (int azimuth : {10, 20, 30})
        send("<goazi>" + QByteArray::number(azimuth) + "</goazi>");
    barrier();
    QVERIFY(station->line.drain().endsWith("W030\r"));
    for (int i = 0; i < 800; ++i)
        send("<goazi>" + QByteArray::number(i * 7919 % 100000, 36) + "\xff</goazi>");
    barrier();
    send("<goazi>123</goazi>");
    barrier();
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("123"));
    QVERIFY(station->line.drain().endsWith("W123\r"));
}

void TestServers::headingToTheLogger_data()
{
    QTest::addColumn<bool>("n1mm");
    QTest::addColumn<bool>("option");
    QTest::addColumn<QString>("rotor");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("heading");
    QTest::newRow("the logger's name, to the logger") << true << false << "" << "" << QByteArray("Tribander @ 1230");
    QTest::newRow("a name set in Init") << true << false << "Beam" << "" << QByteArray("Beam @ 1230");
    QTest::newRow("another server, to an address set in Init") << false << true << "Beam" << "127.0.0.1"
                                                                << QByteArray("Beam @ 770");
}

// N1MM Logger+ listens on its heading port while a rotor datagram turns the antenna to 123: the
// heading comes back at once, and again while it stays.
void TestServers::headingToTheLogger()
{
    QFETCH(bool, n1mm);
    QFETCH(bool, option);
    QFETCH(QString, rotor);
    QFETCH(QString, host);
    QFETCH(QByteArray, heading);
    QUdpSocket logger;
    quint16 headingPort = 0;
    do
        headingPort = freeUdpPort();
    while (!logger.bind(QHostAddress::LocalHost, headingPort, QAbstractSocket::DontShareAddress));
    Settings &s = settings();
    s.N1MMHEADINGPORT = headingPort;
    s.N1MMHEADING = option;
    s.N1MMROTOR = rotor;
    s.N1MMHEADINGHOST = host;
    createWindow(n1mm);
    send("<N1MMRotor><rotor>Tribander</rotor><goazi>123.0</goazi><offset>0</offset></N1MMRotor>");
    const auto next = [&] {
        // The heading repeats every 3 s: ample room for a loaded machine.
        return QTest::qWaitFor([&] { return logger.hasPendingDatagrams(); }, 10000)
            ? logger.receiveDatagram().data()
            : QByteArray();
    };
    // The heading shown before the datagram may come first. (Read in a plain loop: a QTRY macro
    // evaluates its expression more than once, and each reading takes a datagram.)
    QByteArray got;
    QDeadlineTimer patience(10000);
    do
        got = next();
    while (got != heading && !got.isEmpty() && !patience.hasExpired());
    QCOMPARE(got, heading);
    QCOMPARE(next(), heading);
}

void TestServers::selectingTwiceBindsOnce()
{
    createWindow(true);
    QVERIFY(window->UDPServer->isActive());
    // Waiting in the socket: a second bind would lose it.
    send("<goazi>150</goazi>");
    window->MenuServerN1MM->trigger();
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("150"));
    QCOMPARE(station->line.read(5), QByteArray("W150\r"));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestServers::bindFailureIsReportedAndRetried()
{
    createWindow(false);
    auto holder = std::make_unique<QUdpSocket>();
    QVERIFY(holder->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress));
    window->MenuServerN1MM->trigger();
    QCOMPARE(station->recorder->messages.size(), 1);
    QCOMPARE(station->recorder->messages[0].kind, platform::MessageKind::Error);
    QCOMPARE(station->recorder->messages[0].text, BindFailure);
    QVERIFY(!window->UDPServer->isActive());
    QVERIFY(window->MenuServerN1MM->isChecked());
    QCOMPARE(window->MenuServer->title(), QStringLiteral("Server (N1MM)"));

    holder.reset();
    window->MenuServerN1MM->trigger();
    QVERIFY(window->UDPServer->isActive());
    send("<goazi>33</goazi>");
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("33"));
    QCOMPARE(station->recorder->messages.size(), 1);
}

void TestServers::bindFailureAtFirstActivationIsReportedOnce()
{
    Settings &s = settings();
    window = new TForm1;
    s.SuppressListenerStart = true;
    window->MenuServerN1MM->trigger();
    s.SuppressListenerStart = false;
    auto holder = std::make_unique<QUdpSocket>();
    QVERIFY(holder->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress));
    window->FormActivate();
    QCOMPARE(station->recorder->messages.size(), 1);
    QCOMPARE(station->recorder->messages[0].text, BindFailure);
    // The rest of the first activation ran, and the next activation changes nothing.
    QVERIFY(s.Activated);
    QVERIFY(window->windowTitle().contains(QStringLiteral("GS232 / COM3")));
    QCOMPARE(window->Label1->text(), QStringLiteral("Defaultport=") + QString::number(port));
    window->FormActivate();
    QCOMPARE(station->recorder->messages.size(), 1);

    holder.reset();
    window->MenuServerN1MM->trigger();
    QVERIFY(window->UDPServer->isActive());
}

void TestServers::configurationSelectsWithoutListening()
{
    Settings &s = settings();
    s.PORTN1MM = QStringLiteral("500");
    s.ANTN1MM = QStringLiteral("7");
    window = new TForm1;
    s.SuppressListenerStart = true;
    window->MenuServerN1MM->trigger();
    s.SuppressListenerStart = false;
    QVERIFY(window->MenuServerN1MM->isChecked());
    QVERIFY(!window->UDPServer->isActive());
    window->FormActivate();
    QVERIFY(window->UDPServer->isActive());
    QCOMPARE(window->UDPServer->bindings().constFirst().port, port);
    QCOMPARE(window->FormInit->EditPortN1MM->text(), QStringLiteral("500"));
    QCOMPARE(window->FormInit->EditAntN1MM->text(), QStringLiteral("7"));
}

void TestServers::portChangeMovesTheListener()
{
    createWindow(true);
    const quint16 old = port;
    port = freeUdpPort();
    settings().N1mmPort = quint16(port - 3);
    settings().N1mmAntenna = 3;
    emit window->FormInit->moveN1mmListener(port);
    send("<goazi>66</goazi>");
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("66"));
    QUdpSocket oldPort;
    QVERIFY(oldPort.bind(QHostAddress::AnyIPv4, old, QAbstractSocket::DontShareAddress));

    // With another server chosen the listener stays closed until N1MM is chosen again.
    window->MenuServerVelmundo->trigger();
    port = freeUdpPort();
    settings().N1mmPort = quint16(port - 3);
    emit window->FormInit->moveN1mmListener(port);
    QVERIFY(!window->UDPServer->isActive());
    window->MenuServerN1MM->trigger();
    send("<goazi>67</goazi>");
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("67"));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestServers::ddeTexts_data()
{
    QTest::addColumn<QString>("published");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("azimuth");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("blanks and degree sign") << QStringLiteral("2 3 4\u00b0") << "234" << "234" << QByteArray("W234\r");
    QTest::newRow("line end counts as the unit") << QStringLiteral("123\r\n") << "12" << "12" << QByteArray("W012\r");
    QTest::newRow("400 to the end 360") << QStringLiteral("400\u00b0") << "400" << "0" << QByteArray("W000\r");
    QTest::newRow("-5 to the end -1") << QStringLiteral("-5\u00b0") << "-5" << "359" << QByteArray("W359\r");
    QTest::newRow("one character") << QStringLiteral("5") << "" << "77" << QByteArray();
    QTest::newRow("not a number") << QStringLiteral("abc\u00b0") << "abc" << "77" << QByteArray();
    QTest::newRow("empty") << QString() << "" << "77" << QByteArray();
}

void TestServers::ddeTexts()
{
    QFETCH(QString, published);
    QFETCH(QString, kept);
    QFETCH(QString, azimuth);
    QFETCH(QByteArray, sent);
    createWindow(false);
    Publisher velmundo(QStringLiteral("Velmundo"), published);
    QVERIFY(velmundo.started);
    window->MenuServerVelmundo->trigger();
    QVERIFY(settings().DdeConversationOpen);
    QCOMPARE(settings().DdeAzimuthText, kept);
    QCOMPARE(window->EditAzimut->text(), azimuth);
    QCOMPARE(station->line.drain(), sent);
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestServers::firstActivationOpensTheLink()
{
    Publisher beamDx(QStringLiteral("Beam_DX"), QStringLiteral("120\u00b0"));
    QVERIFY(beamDx.started);
    window = new TForm1;
    window->menuServerBeamDX->setChecked(true);
    QVERIFY(window->TimerDDE->isActive());
    window->FormActivate();
    QVERIFY(settings().DdeConversationOpen);
    QVERIFY(!window->TimerDDE->isActive());
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("120"));
    QCOMPARE(window->MenuServer->title(), QStringLiteral("Server"));
}

void TestServers::ddeChangesAndServerQuitting()
{
    createWindow(false);
    Publisher velmundo(QStringLiteral("Velmundo"), QStringLiteral("10\u00b0"));
    QVERIFY(velmundo.started);
    window->MenuServerVelmundo->trigger();
    QCOMPARE(window->MenuServer->title(), QStringLiteral("&Server (Velmundo)"));
    QCOMPARE(station->line.read(5), QByteArray("W010\r"));
    QTRY_VERIFY(!window->engine->busy());
    velmundo.publish(QStringLiteral("45\u00b0"));
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("45"));
    QCOMPARE(station->line.read(5), QByteArray("W045\r"));

    velmundo.quit();
    QTRY_VERIFY(!settings().DdeConversationOpen);
    QVERIFY(window->TimerDDE->isActive());
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("45"));
    // Choosing it again while it is gone finds nobody; nothing is reported.
    window->MenuServerVelmundo->trigger();
    QVERIFY(!settings().DdeConversationOpen);
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("45"));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestServers::switchingBetweenServers()
{
    createWindow(true);
    Publisher velmundo(QStringLiteral("Velmundo"), QStringLiteral("10\u00b0"));
    Publisher beamDx(QStringLiteral("Beam_DX"), QStringLiteral("20\u00b0"));
    QVERIFY(velmundo.started && beamDx.started);

    window->MenuFrancaisClick();
    // Each azimuth's command and its pause are over before the next source speaks.
    window->MenuServerVelmundo->trigger();
    QVERIFY(!window->UDPServer->isActive());
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("10"));
    QTRY_VERIFY(!window->engine->busy());
    window->menuServerBeamDX->trigger();
    QCOMPARE(window->MenuServer->title(), QStringLiteral("&Serveur (Beam_DX)"));
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("20"));
    QTRY_VERIFY(!window->engine->busy());
    velmundo.publish(QStringLiteral("11\u00b0"));
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("20"));
    beamDx.publish(QStringLiteral("21\u00b0"));
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("21"));
    QTRY_VERIFY(!window->engine->busy());

    window->MenuServerN1MM->trigger();
    QCOMPARE(window->MenuServer->title(), QStringLiteral("Serveur (N1MM)"));
    QVERIFY(!settings().DdeConversationOpen);
    QVERIFY(window->UDPServer->isActive());
    beamDx.publish(QStringLiteral("22\u00b0"));
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("21"));
    send("<goazi>30</goazi>");
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("30"));
    QCOMPARE(station->line.drain(), QByteArray("W010\rW020\rW021\rW030\r"));

    // At exit the link and the listener close.
    window->menuServerBeamDX->trigger();
    QVERIFY(settings().DdeConversationOpen);
    window->closeServers();
    QVERIFY(!settings().DdeConversationOpen);
    QVERIFY(!window->TimerDDE->isActive());
    QVERIFY(!window->UDPServer->isActive());
}

QTEST_MAIN(TestServers)
#include "test_servers.moc"
