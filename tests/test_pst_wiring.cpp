#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "rotator/tracking_engine.h"
#include "sources/pst_server.h"
#include "support/free_ports.h"
#include "support/gs232_station.h"
#include "ui/settings_dialog.h"
#include "ui/tform1.h"
#include "ui/up_down.h"

// The PST server through the real main window: datagrams over loopback, the commands read from a
// GS-232 pseudo-terminal, the answers received on the port after the server's.
class TestPstWiring : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void datagrams_data();
    void datagrams();
    void floodThenAzimuth();
    void menuAndDialog();

private:
    // A window with GS-232 on the line, AUTO on, activated, showing 77, the PST server on.
    void createWindow();
    // Sends AZ? and returns the answer that comes back on the answer port.
    QByteArray askAzimuth();
    void send(const QByteArray &datagram);

    std::unique_ptr<Gs232Station> station;
    TForm1 *window = nullptr;
    quint16 port = 0;
    // Bound where the answers go: the server's port + 1.
    std::unique_ptr<QUdpSocket> answers;
    QUdpSocket client;
};

void TestPstWiring::init()
{
    station = std::make_unique<Gs232Station>();
    answers = std::make_unique<QUdpSocket>();
    do
        port = freeUdpPort();
    while (!answers->bind(QHostAddress::LocalHost, quint16(port + 1), QAbstractSocket::DontShareAddress));
    settings().PSTUDPPORT = port;
}

void TestPstWiring::cleanup()
{
    delete window;
    window = nullptr;
    answers.reset();
    station.reset();
}

void TestPstWiring::createWindow()
{
    window = new TForm1;
    window->FormActivate();
    window->BitBtnAutoClick();
    window->UpDownAzi->setPosition(77);
    QCOMPARE(station->line.read(5), QByteArray("W077\r"));
    window->MenuServerPst->trigger();
    QVERIFY(window->pstServer->isListening());
    QTRY_VERIFY(!window->engine->busy());
}

void TestPstWiring::send(const QByteArray &datagram)
{
    QCOMPARE(client.writeDatagram(datagram, QHostAddress::LocalHost, port), qint64(datagram.size()));
}

QByteArray TestPstWiring::askAzimuth()
{
    send("<PST>AZ?</PST>");
    if (!QTest::qWaitFor([&] { return answers->hasPendingDatagrams(); }, 5000))
        return {};
    return answers->receiveDatagram().data();
}

void TestPstWiring::datagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("myLocator");
    QTest::addColumn<int>("parking");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answer");
    const QByteArray none;
    QTest::newRow("azimuth") << QByteArray("<PST><AZIMUTH>85</AZIMUTH></PST>") << "" << -1 << QByteArray("W085\r")
                             << QByteArray("AZ:85");
    QTest::newRow("leading number of a padded azimuth") << QByteArray("<PST><AZIMUTH>123.450000.2</AZIMUTH></PST>")
                                                        << "" << -1 << QByteArray("W123\r") << QByteArray("AZ:123");
    QTest::newRow("locator, short path due south") << QByteArray("<PST><QRA>JL18du</QRA></PST>") << "JN18du" << -1
                                                   << QByteArray("W180\r") << QByteArray("AZ:180");
    QTest::newRow("locator without the station's") << QByteArray("<PST><QRA>JL18du</QRA></PST>") << "" << -1
                                                   << none << QByteArray("AZ:77");
    QTest::newRow("stop") << QByteArray("<PST><STOP>1</STOP></PST>") << "" << -1 << QByteArray("S\r")
                          << QByteArray("AZ:77");
    QTest::newRow("stop wins over the azimuth beside it")
        << QByteArray("<PST><AZIMUTH>10</AZIMUTH></PST><PST><STOP>1</STOP></PST>") << "" << -1 << QByteArray("S\r")
        << QByteArray("AZ:77");
    QTest::newRow("park") << QByteArray("<PST><PARK>1</PARK></PST>") << "" << 200 << QByteArray("W200\r")
                          << QByteArray("AZ:200");
    QTest::newRow("park without parking") << QByteArray("<PST><PARK>1</PARK></PST>") << "" << -1 << none
                                          << QByteArray("AZ:77");
    QTest::newRow("newest of several in one") << QByteArray("<PST><AZIMUTH>10</AZIMUTH><AZIMUTH>20</AZIMUTH></PST>")
                                              << "" << -1 << QByteArray("W020\r") << QByteArray("AZ:20");
    QTest::newRow("elevation ignored") << QByteArray("<PST><ELEVATION>30</ELEVATION></PST><PST>EL?</PST>") << ""
                                       << -1 << none << QByteArray("AZ:77");
    QTest::newRow("outside PST ignored") << QByteArray("<AZIMUTH>85</AZIMUTH>") << "" << -1 << none
                                         << QByteArray("AZ:77");
}

void TestPstWiring::datagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, myLocator);
    QFETCH(int, parking);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    settings().MYLOCATOR = myLocator;
    if (parking >= 0) {
        settings().PARKING = GS232 + 1;
        settings().AZIMUT_PARKING = parking;
    }
    createWindow();
    send(datagram);
    // Answered once what came before it has been read.
    QVERIFY(!askAzimuth().isEmpty());
    QTRY_VERIFY(!window->engine->busy());
    QCOMPARE(station->line.drain(), sent);
    QCOMPARE(askAzimuth(), answer);
    QVERIFY(station->recorder->messages.isEmpty());
}

// Another program floods the port with garbage and azimuths below 300 while the window runs: no
// box, the listener still hears, and the azimuth sent after the flood goes out last.
void TestPstWiring::floodThenAzimuth()
{
    createWindow();
    std::atomic<bool> done = false;
    const quint16 target = port;
    std::thread flood([&] {
        QUdpSocket sender;
        const QByteArray garbage[] = {QByteArray(3000, '<'), "<PST><AZIMUTH>x</AZIMUTH></PST>", "<PST><QRA>",
                                      "</PST><PST>", QByteArray("\0\xff<PST>AZ", 9)};
        for (int i = 0; i < 20000; ++i) {
            const QByteArray datagram = i % 7 == 0 ? "<PST><AZIMUTH>" + QByteArray::number(i % 300) + "</AZIMUTH></PST>"
                                                   : garbage[i % 5];
            sender.writeDatagram(datagram, QHostAddress::LocalHost, target);
        }
        done = true;
    });
    QVERIFY(QTest::qWaitFor([&] { return done.load(); }, 60000));
    flood.join();
    // Datagrams the system dropped while its buffer was full are sent again, as a sender would.
    QByteArray line;
    QTRY_VERIFY_WITH_TIMEOUT((send("<PST><AZIMUTH>300</AZIMUTH></PST>"), line += station->line.drain(10),
                              line.endsWith("W300\r")),
                             20000);
    QTRY_VERIFY(!window->engine->busy());
    QCOMPARE(askAzimuth(), QByteArray("AZ:300"));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestPstWiring::menuAndDialog()
{
    createWindow();
    QAction *item = window->MenuServerPst;
    QVERIFY(settings().PSTUDP);
    QCOMPARE(item->text(), QStringLiteral("PST UDP server (%1)").arg(port));
    window->MenuFrancaisClick();
    QCOMPARE(item->text(), QStringLiteral("Serveur PST UDP (%1)").arg(port));
    QVERIFY(!window->pstServer->allowsOtherComputers());

    // The dialog moves it to another port, reachable from other computers.
    window->FormInit->FormShow();
    QCOMPARE(window->FormInit->EditPortPst->text(), QString::number(port));
    const quint16 moved = freeUdpPort();
    window->FormInit->EditPortPst->setText(QString::number(moved));
    window->FormInit->CheckBoxPstAll->setChecked(true);
    QVERIFY(window->FormInit->FormClose());
    QCOMPARE(window->pstServer->port(), moved);
    QVERIFY(window->pstServer->allowsOtherComputers());
    QCOMPARE(item->text(), QStringLiteral("Serveur PST UDP (%1)").arg(moved));

    // A port that another program holds: off, told once.
    item->trigger();
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::Any, moved, QAbstractSocket::DontShareAddress));
    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(!settings().PSTUDP);
    QCOMPARE(station->recorder->messages.size(), 1);
    QVERIFY(station->recorder->messages[0].text.contains(QString::number(moved)));
}

QTEST_MAIN(TestPstWiring)
#include "test_pst_wiring.moc"
