#include "sources/udp_server.h"

#include "platform/error.h"
#include "platform/wait.h"
#include "support/free_ports.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

namespace {

bool hasIPv6()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHostIPv6, 0);
}

// Whether a socket of our own could take the port now, that is whether the listener let it go.
bool portFree(const QHostAddress &address, quint16 port)
{
    QUdpSocket other;
    return other.bind(address, port, QAbstractSocket::DontShareAddress);
}

void send(const QByteArray &datagram, quint16 port, const QHostAddress &to = QHostAddress::LocalHost)
{
    QUdpSocket sender;
    QCOMPARE(sender.writeDatagram(datagram, to, port), qint64(datagram.size()));
}

} // namespace

class TestUdpServer : public QObject
{
    Q_OBJECT

private slots:
    void datagramsArrive_data();
    void datagramsArrive();
    void burstArrivesInOrder();
    void portHeldElsewhere_data();
    void portHeldElsewhere();
    void bindingsKeptAcrossDeactivation();
    void activatingTwiceBindsOnce();
    void handlerWaitsOneDatagramAtATime();
    void deactivatedInsideHandler();
};

void TestUdpServer::datagramsArrive_data()
{
    QTest::addColumn<QHostAddress>("to");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("IPv4") << QHostAddress(QHostAddress::LocalHost) << 18 << true;
    QTest::newRow("IPv6") << QHostAddress(QHostAddress::LocalHostIPv6) << 18 << true;
    QTest::newRow("empty datagram") << QHostAddress(QHostAddress::LocalHost) << 0 << true;
    QTest::newRow("buffer size") << QHostAddress(QHostAddress::LocalHost) << 8192 << true;
    QTest::newRow("longer than the buffer") << QHostAddress(QHostAddress::LocalHost) << 8193 << false;
    QTest::newRow("much longer, IPv6") << QHostAddress(QHostAddress::LocalHostIPv6) << 60000 << false;
}

void TestUdpServer::datagramsArrive()
{
    QFETCH(QHostAddress, to);
    QFETCH(int, size);
    QFETCH(bool, delivered);
    if (to.protocol() == QAbstractSocket::IPv6Protocol && !hasIPv6())
        QSKIP("no IPv6 here");
    UDPServer server;
    server.setListeningPort(freeUdpPort());
    server.activate();
    QSignalSpy read(&server, &UDPServer::OnUDPRead);
    const QByteArray datagram(size, 'x');
    send(datagram, server.listeningPort(), to);
    // The marker shows that a dropped datagram went before it and left the socket working.
    send("marker", server.listeningPort(), to);
    QTRY_COMPARE(read.count(), delivered ? 2 : 1);
    if (delivered)
        QCOMPARE(read.takeFirst().at(0).toByteArray(), datagram);
    QCOMPARE(read.takeFirst().at(0).toByteArray(), QByteArray("marker"));
}

void TestUdpServer::burstArrivesInOrder()
{
    UDPServer server;
    server.setListeningPort(freeUdpPort());
    server.activate();
    QList<QByteArray> received;
    connect(&server, &UDPServer::OnUDPRead, this, [&](const QByteArray &bytes) { received.append(bytes); });
    QList<QByteArray> sent;
    QUdpSocket sender;
    for (int i = 0; i < 200; ++i) {
        sent.append("<goazi>" + QByteArray::number(i) + "</goazi>");
        sender.writeDatagram(sent.last(), QHostAddress::LocalHost, server.listeningPort());
    }
    QTRY_COMPARE(received.size(), sent.size());
    QCOMPARE(received, sent);
}

void TestUdpServer::portHeldElsewhere_data()
{
    QTest::addColumn<QHostAddress>("held");
    QTest::addColumn<int>("mode");
    QTest::newRow("IPv4 held") << QHostAddress(QHostAddress::AnyIPv4) << int(QAbstractSocket::DontShareAddress);
    QTest::newRow("IPv4 held, shared") << QHostAddress(QHostAddress::AnyIPv4)
                                       << int(QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
    QTest::newRow("IPv6 held") << QHostAddress(QHostAddress::AnyIPv6) << int(QAbstractSocket::DontShareAddress);
}

void TestUdpServer::portHeldElsewhere()
{
    QFETCH(QHostAddress, held);
    QFETCH(int, mode);
    if (held.protocol() == QAbstractSocket::IPv6Protocol && !hasIPv6())
        QSKIP("no IPv6 here");
    const quint16 port = freeUdpPort();
    auto other = std::make_unique<QUdpSocket>();
    QVERIFY(other->bind(held, port, QAbstractSocket::BindMode(mode)));
    UDPServer server;
    server.setListeningPort(port);
    try {
        server.activate();
        QFAIL("activation succeeded on a port held by another socket");
    } catch (const TorvanelError &error) {
        QCOMPARE(error.text(), QStringLiteral("Impossible de lier le socket. L'adresse et le port sont déjà en cours d'utilisation."));
    }
    QVERIFY(!server.isActive());
    // What this activation had bound is free again.
    for (const auto &family : {QHostAddress(QHostAddress::AnyIPv4), QHostAddress(QHostAddress::AnyIPv6)}) {
        if (family != held && (family.protocol() == QAbstractSocket::IPv4Protocol || hasIPv6()))
            QVERIFY(portFree(family, port));
    }

    other.reset();
    server.activate();
    QVERIFY(server.isActive());
    QSignalSpy read(&server, &UDPServer::OnUDPRead);
    send("retry", port);
    QVERIFY(read.wait());
}

void TestUdpServer::bindingsKeptAcrossDeactivation()
{
    const quint16 first = freeUdpPort();
    UDPServer server;
    server.setListeningPort(first);
    server.activate();
    server.deactivate();
    QVERIFY(!server.isActive());
    QVERIFY(portFree(QHostAddress::AnyIPv4, first));

    QSignalSpy read(&server, &UDPServer::OnUDPRead);
    const quint16 second = freeUdpPort();
    server.setListeningPort(second);
    server.activate();
    QVERIFY(portFree(QHostAddress::AnyIPv4, second));
    send("first port", first);
    QVERIFY(read.wait());
    QCOMPARE(read.takeFirst().at(0).toByteArray(), QByteArray("first port"));

    server.deactivate();
    server.clearBindings();
    server.activate();
    QVERIFY(portFree(QHostAddress::AnyIPv4, first));
    send("second port", second);
    QVERIFY(read.wait());
    QCOMPARE(read.takeFirst().at(0).toByteArray(), QByteArray("second port"));
    QCOMPARE(server.bindings().size(), hasIPv6() ? 2 : 1);
    for (const auto &binding : server.bindings())
        QCOMPARE(binding.port, second);
}

void TestUdpServer::activatingTwiceBindsOnce()
{
    UDPServer server;
    server.setListeningPort(freeUdpPort());
    server.activate();
    server.activate();
    QSignalSpy read(&server, &UDPServer::OnUDPRead);
    send("once", server.listeningPort());
    send("marker", server.listeningPort());
    QTRY_COMPARE(read.count(), 2);
    QCOMPARE(read.at(0).at(0).toByteArray(), QByteArray("once"));
}

// The handler's nested wait lets further datagrams arrive; they wait for the one being handled.
void TestUdpServer::handlerWaitsOneDatagramAtATime()
{
    UDPServer server;
    server.setListeningPort(freeUdpPort());
    server.activate();
    int depth = 0;
    int deepest = 0;
    QList<QByteArray> received;
    QUdpSocket sender;
    connect(&server, &UDPServer::OnUDPRead, this, [&](const QByteArray &bytes) {
        deepest = qMax(deepest, ++depth);
        received.append(bytes);
        if (bytes == "1")
            sender.writeDatagram("2", QHostAddress::LocalHost, server.listeningPort());
        platform::wait(20);
        --depth;
    });
    send("1", server.listeningPort());
    QTRY_COMPARE(received.size(), 2);
    QCOMPARE(deepest, 1);
    QCOMPARE(received, QList<QByteArray>({"1", "2"}));
}

// A nested wait inside the handler may switch the server off and on; the socket whose handler
// is running must survive that, and the port must be bindable again at once.
void TestUdpServer::deactivatedInsideHandler()
{
    UDPServer server;
    server.setListeningPort(freeUdpPort());
    server.activate();
    QList<QByteArray> received;
    connect(&server, &UDPServer::OnUDPRead, this, [&](const QByteArray &bytes) {
        received.append(bytes);
        if (bytes == "switch") {
            QTimer::singleShot(0, &server, [&] {
                server.deactivate();
                server.activate();
            });
            platform::wait(20);
        }
    });
    QUdpSocket sender;
    sender.writeDatagram("switch", QHostAddress::LocalHost, server.listeningPort());
    sender.writeDatagram("lost with the old socket", QHostAddress::LocalHost, server.listeningPort());
    QTRY_VERIFY(!received.isEmpty());
    QTRY_VERIFY(server.isActive());
    send("after", server.listeningPort());
    QTRY_COMPARE(received.last(), QByteArray("after"));
    QCOMPARE(received.first(), QByteArray("switch"));
}

QTEST_GUILESS_MAIN(TestUdpServer)
#include "test_udp_server.moc"
