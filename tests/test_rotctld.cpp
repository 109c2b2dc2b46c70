#include "sources/rotctld_protocol.h"
#include "sources/rotctld_server.h"

#include "platform/error.h"

#include <QPointer>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Stands in for the main window: records what the clients asked for.
struct FakeWindow {
    int azimuth = 0;
    QList<int> requested;
    int stops = 0;
    bool parkingSet = true;
    rotctld::Status status = rotctld::Status::Ok;
    int parks = 0;
    // Runs inside a request, as a driver's pause would.
    std::function<void()> during;
    int depth = 0;
    int deepest = 0;

    rotctld::Rotator rotator()
    {
        return {
            [this](int value) {
                requested.append(value);
                azimuth = value;
                deepest = std::max(deepest, ++depth);
                if (during)
                    during();
                --depth;
                return status;
            },
            [this] { return azimuth; },
            [this] { ++stops; if (during) during(); },
            [this] { ++parks; return parkingSet; },
        };
    }
};

// The loopback address 127.0.0.1 + host: the server tells clients apart by address.
QHostAddress loopbackHost(int host)
{
    return QHostAddress(QHostAddress(QHostAddress::LocalHost).toIPv4Address() + quint32(host));
}

// A client on loopback that waits for whole answers.
struct Client {
    QTcpSocket socket;

    explicit Client(quint16 port, const QHostAddress &address = QHostAddress::LocalHost, const QHostAddress &from = {})
    {
        if (!from.isNull())
            socket.bind(from);
        socket.connectToHost(address, port);
    }
    // The server shares this thread: wait with the event loop running, never blocking it.
    bool connected()
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }

    // Everything received until `lines` answer lines have come, as they came.
    QByteArray exchange(const QByteArray &text, int lines)
    {
        socket.write(text);
        QByteArray received;
        while (received.count('\n') < lines) {
            if (!socket.bytesAvailable() && !QTest::qWaitFor([&] { return socket.bytesAvailable() > 0 || socket.state() != QAbstractSocket::ConnectedState; }, 5000))
                break;
            if (!socket.bytesAvailable())
                break;
            received += socket.readAll();
        }
        return received;
    }

    bool closedByServer()
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 10000);
    }
};

// A bare POSIX client, for what QTcpSocket cannot do: go on receiving once it has shut its sending
// side. Its small segments and receive window keep the server's kernel buffers small, so that a few
// hundred kilobytes of answers back up at the server itself.
struct RawClient {
    int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
    QByteArray received;

    explicit RawClient(quint16 port)
    {
        const int window = 4096, segment = 536;
        ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        ::setsockopt(descriptor, IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // The kernel completes a loopback connection without the server's event loop.
        ::connect(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    }
    ~RawClient() { ::close(descriptor); }

    bool sendAll(QByteArray text)
    {
        return QTest::qWaitFor([&] {
            const ssize_t sent = ::send(descriptor, text.constData(), size_t(text.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent > 0)
                text.remove(0, sent);
            return text.isEmpty();
        }, 10000);
    }

    // Takes what has arrived; true once the server has closed (or the connection failed).
    bool take()
    {
        char chunk[65536];
        for (;;) {
            const ssize_t size = ::recv(descriptor, chunk, sizeof chunk, MSG_DONTWAIT);
            if (size <= 0)
                return size == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            received.append(chunk, size);
        }
    }
};

} // namespace

class TestRotctld : public QObject
{
    Q_OBJECT

private slots:
    void azimuthText_data();
    void azimuthText();
    void answers_data();
    void answers();
    void dumpStateMatchesHamlib();
    void hamlibClient();
    void gpredictLikeClient();
    void clientsAreIndependent();
    void overLongLineClosesOnlyItsConnection();
    void garbageAndHalfLines();
    void hundredConnections();
    void crowdedHost_data();
    void crowdedHost();
    void clientThatNeverReads();
    void answeredInFull_data();
    void answeredInFull();
    void clientVanishesDuringNestedWait();
    void portTaken();
    void otherComputersAllowed();
};

void TestRotctld::azimuthText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("azimuth");
    QTest::newRow("whole") << QByteArray("123") << 123;
    QTest::newRow("point") << QByteArray("123.4") << 123;
    QTest::newRow("comma of the locale") << QByteArray("123,6") << 124;
    QTest::newRow("half to even, down") << QByteArray("122.5") << 122;
    QTest::newRow("half to even, up") << QByteArray("123,5") << 124;
    QTest::newRow("lowest") << QByteArray("-180") << 180;
    QTest::newRow("negative counted back") << QByteArray("-10.000000") << 350;
    QTest::newRow("just below north") << QByteArray("-0.4") << 0;
    QTest::newRow("360 is north") << QByteArray("360") << 0;
    QTest::newRow("359.6 is north") << QByteArray("359.6") << 0;
    QTest::newRow("plus sign") << QByteArray("+45") << 45;
    QTest::newRow("no integer part") << QByteArray(".5") << 0;
    QTest::newRow("above 360") << QByteArray("360.01") << -1;
    QTest::newRow("below -180") << QByteArray("-180.5") << -1;
    QTest::newRow("letters") << QByteArray("abc") << -1;
    QTest::newRow("exponent") << QByteArray("1e2") << -1;
    QTest::newRow("two separators") << QByteArray("1.2.3") << -1;
    QTest::newRow("sign only") << QByteArray("-") << -1;
    QTest::newRow("infinity") << QByteArray("inf") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
}

void TestRotctld::azimuthText()
{
    QFETCH(QByteArray, text);
    QFETCH(int, azimuth);
    QCOMPARE(rotctld::azimuthFromText(text), azimuth);
}

void TestRotctld::answers_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("requested");
    QTest::addColumn<int>("stops");

    const QList<int> none;
    QTest::newRow("set, short") << QByteArray("P 123 45") << QByteArray("RPRT 0\n") << QList<int>{123} << 0;
    QTest::newRow("set, long, comma") << QByteArray("\\set_pos 12,7 0,0") << QByteArray("RPRT 0\n") << QList<int>{13} << 0;
    QTest::newRow("set, CR LF") << QByteArray("P 10 0\r") << QByteArray("RPRT 0\n") << QList<int>{10} << 0;
    QTest::newRow("set, tabs and blanks") << QByteArray("  P\t200   5 ") << QByteArray("RPRT 0\n") << QList<int>{200} << 0;
    QTest::newRow("set out of range") << QByteArray("P 400 0") << QByteArray("RPRT -1\n") << none << 0;
    QTest::newRow("set, elevation not a number") << QByteArray("P 10 up") << QByteArray("RPRT -1\n") << none << 0;
    // An azimuth-only antenna: a flip-mode request would point it away from the target.
    QTest::newRow("set, elevation beyond the zenith") << QByteArray("P 10 95") << QByteArray("RPRT -1\n") << none << 0;
    QTest::newRow("set, elevation below the horizon") << QByteArray("P 10 -5") << QByteArray("RPRT -1\n") << none << 0;
    QTest::newRow("set, one number") << QByteArray("P 10") << QByteArray("RPRT -1\n") << none << 0;
    QTest::newRow("set, three numbers") << QByteArray("P 10 0 0") << QByteArray("RPRT -1\n") << none << 0;
    QTest::newRow("get, short") << QByteArray("p") << QByteArray("77.00\n0.00\n") << none << 0;
    QTest::newRow("get, long") << QByteArray("\\get_pos") << QByteArray("77.00\n0.00\n") << none << 0;
    QTest::newRow("get with an argument") << QByteArray("p 1") << QByteArray("RPRT -1\n") << none << 0;
    QTest::newRow("stop") << QByteArray("S") << QByteArray("RPRT 0\n") << none << 1;
    QTest::newRow("stop, long") << QByteArray("\\stop") << QByteArray("RPRT 0\n") << none << 1;
    QTest::newRow("info") << QByteArray("_") << QByteArray("Torvanel 2.4.1\n") << none << 0;
    QTest::newRow("unknown") << QByteArray("Z") << QByteArray("RPRT -4\n") << none << 0;
    QTest::newRow("unknown long") << QByteArray("\\set_conf a b") << QByteArray("RPRT -4\n") << none << 0;
    QTest::newRow("case matters") << QByteArray("s") << QByteArray("RPRT -4\n") << none << 0;
    QTest::newRow("binary") << QByteArray("\x01\xff\x7f", 3) << QByteArray("RPRT -4\n") << none << 0;
    QTest::newRow("quit answers nothing") << QByteArray("q") << QByteArray() << none << 0;

    QTest::newRow("extended set") << QByteArray("+P  12.5   45") << QByteArray("set_pos: 12.5 45\nRPRT 0\n") << QList<int>{12} << 0;
    QTest::newRow("extended set refused") << QByteArray("+\\set_pos abc 1") << QByteArray("set_pos: abc 1\nRPRT -1\n") << none << 0;
    QTest::newRow("extended get") << QByteArray("+p") << QByteArray("get_pos:\nAzimuth: 77.00\nElevation: 0.00\nRPRT 0\n") << none << 0;
    QTest::newRow("extended stop") << QByteArray("+\\stop") << QByteArray("stop:\nRPRT 0\n") << none << 1;
    QTest::newRow("extended park") << QByteArray("+K") << QByteArray("park:\nRPRT 0\n") << none << 0;
    QTest::newRow("extended info") << QByteArray("+_") << QByteArray("get_info:\nInfo: Torvanel 2.4.1\nRPRT 0\n") << none << 0;
    QTest::newRow("extended unknown") << QByteArray("+Z") << QByteArray("RPRT -4\n") << none << 0;
}

void TestRotctld::answers()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, requested);
    QFETCH(int, stops);

    FakeWindow window;
    window.azimuth = 77;
    QCOMPARE(rotctld::answer(rotctld::parseLine(line), window.rotator()), reply);
    QCOMPARE(window.requested, requested);
    QCOMPARE(window.stops, stops);
}

void TestRotctld::dumpStateMatchesHamlib()
{
    FakeWindow window;
    const auto rotator = window.rotator();
    QCOMPARE(rotctld::answer(rotctld::parseLine("\\dump_state"), rotator),
             QByteArray("1\n1\nmin_az=-180.000000\nmax_az=360.000000\nmin_el=0.000000\nmax_el=90.000000\n"
                        "south_zero=0\nrot_type=AzEl\ndone\n"));
    QCOMPARE(rotctld::answer(rotctld::parseLine("+\\dump_state"), rotator),
             QByteArray("dump_state:\nrotctld Protocol Ver: 1\nRotor Model: 1\n"
                        "Minimum Azimuth: -180.000000\nMaximum Azimuth: 360.000000\n"
                        "Minimum Elevation: 0.000000\nMaximum Elevation: 90.000000\n"
                        "South Zero: 0\nrot_type=AzEl\ndone\nRPRT 0\n"));

    window.parkingSet = false;
    QCOMPARE(rotctld::answer(rotctld::parseLine("K"), window.rotator()), QByteArray("RPRT -11\n"));
    QCOMPARE(rotctld::answer(rotctld::parseLine("\\park"), window.rotator()), QByteArray("RPRT -11\n"));
    QCOMPARE(window.parks, 2);
}

void TestRotctld::hamlibClient()
{
    const QString rotctl = QStandardPaths::findExecutable(QStringLiteral("rotctl"));
    if (rotctl.isEmpty())
        QSKIP("Hamlib's rotctl is not installed");
    FakeWindow window;
    window.azimuth = 200;
    RotctldServer server(window.rotator());
    server.listen(0, false);

    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(rotctl, {QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                          QStringLiteral("127.0.0.1:%1").arg(server.port()), QStringLiteral("-")});
    QVERIFY(client.waitForStarted());
    client.write("P 123 45\np\nS\n");
    client.closeWriteChannel();
    // The client runs in its own process; our server answers from this event loop.
    QVERIFY(QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 20000));
    const QString output = QString::fromLatin1(client.readAll());
    QCOMPARE(client.exitCode(), 0);
    QCOMPARE(window.requested, QList<int>{123});
    QCOMPARE(window.stops, 1);
    QVERIFY2(output.contains(QLatin1String("123.00\n0.00")), qPrintable(output));
    QVERIFY2(!output.contains(QLatin1String("error"), Qt::CaseInsensitive), qPrintable(output));
}

void TestRotctld::gpredictLikeClient()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    Client client(server.port());
    QVERIFY(client.connected());

    QCOMPARE(client.exchange("P 350,40 12,30\n", 1), QByteArray("RPRT 0\n"));
    // One receive holds both lines: gpredict reads the position with a single recv.
    client.socket.write("p\n");
    QVERIFY(QTest::qWaitFor([&] { return client.socket.bytesAvailable() > 0; }, 5000));
    QCOMPARE(client.socket.readAll(), QByteArray("350.00\n0.00\n"));
    QCOMPARE(window.requested, QList<int>{350});
}

void TestRotctld::clientsAreIndependent()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    Client first(server.port()), second(server.port());
    QVERIFY(first.connected());
    QVERIFY(second.connected());

    // A half line of one client does not join another's.
    first.socket.write("P 10");
    QCOMPARE(second.exchange("P 20 0\n", 1), QByteArray("RPRT 0\n"));
    QCOMPARE(first.exchange(" 0\n", 1), QByteArray("RPRT 0\n"));
    QCOMPARE(window.requested, (QList<int>{20, 10}));

    // Several lines in one packet, and quit leaves the other client connected.
    QCOMPARE(first.exchange("S\n\n_\np\nq\nS\n", 4), QByteArray("RPRT 0\nTorvanel 2.4.1\n10.00\n0.00\n"));
    QVERIFY(first.closedByServer());
    QCOMPARE(window.stops, 1);
    QCOMPARE(second.exchange("p\n", 2), QByteArray("10.00\n0.00\n"));
}

void TestRotctld::overLongLineClosesOnlyItsConnection()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    Client good(server.port()), longButFine(server.port()), endless(server.port()), overLong(server.port());
    QVERIFY(good.connected() && longButFine.connected() && endless.connected() && overLong.connected());

    QCOMPARE(longButFine.exchange("P 10" + QByteArray(900, ' ') + "0\n", 1), QByteArray("RPRT 0\n"));
    overLong.socket.write("P 20" + QByteArray(2000, ' ') + "0\n");
    QVERIFY(overLong.closedByServer());
    // A line that never ends is closed as well, without waiting for its end.
    for (int i = 0; i < 100 && endless.socket.state() == QAbstractSocket::ConnectedState; ++i) {
        endless.socket.write(QByteArray(4096, 'x'));
        QTest::qWait(1);
    }
    QVERIFY(endless.closedByServer());
    QCOMPARE(good.exchange("p\n", 2), QByteArray("10.00\n0.00\n"));
    QCOMPARE(window.requested, QList<int>{10});
}

void TestRotctld::garbageAndHalfLines()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    {
        Client vanishing(server.port());
        QVERIFY(vanishing.connected());
        vanishing.socket.write("P 45");
        QVERIFY(vanishing.socket.waitForBytesWritten(5000));
    }
    Client client(server.port());
    QVERIFY(client.connected());
    QByteArray garbage;
    for (int i = 0; i < 256; ++i)
        garbage += char(i == '\n' || i == '\r' ? 0 : i);
    QCOMPARE(client.exchange(garbage + "\n" + QByteArray(3, '\0') + "\nP 1 1\n", 3), QByteArray("RPRT -4\nRPRT -4\nRPRT 0\n"));
    // CR, CR LF and LF all end a line.
    QCOMPARE(client.exchange("P 2 0\rP 3 0\r\nP 4 0\n", 3), QByteArray("RPRT 0\nRPRT 0\nRPRT 0\n"));
    QCOMPARE(window.requested, QList<int>({1, 2, 3, 4}));
    QVERIFY(QTest::qWaitFor([&] { return server.connectionCount() == 1; }, 5000));
}

void TestRotctld::hundredConnections()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    // From four hosts, each below its own cap.
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 100; ++i)
        clients.push_back(std::make_unique<Client>(server.port(), QHostAddress::LocalHost, loopbackHost(i % 4)));
    for (int i = 0; i < 100; ++i) {
        QVERIFY(clients[i]->connected());
        clients[i]->socket.write("P " + QByteArray::number(i) + " 0\n");
    }
    for (int i = 0; i < 100; ++i)
        QCOMPARE(clients[i]->exchange("p\n", 3), "RPRT 0\n" + QByteArray::number(window.azimuth) + ".00\n0.00\n");
    QCOMPARE(window.requested.size(), 100);
    QCOMPARE(server.connectionCount(), 100);

    // Beyond the limit each newcomer gets in, and the client silent longest makes room.
    std::vector<std::unique_ptr<Client>> more;
    for (int i = 0; i < RotctldServer::MaxConnections - 100 + 5; ++i) {
        more.push_back(std::make_unique<Client>(server.port(), QHostAddress::LocalHost, loopbackHost(4 + i % 2)));
        QVERIFY(more.back()->connected());
    }
    for (const auto &client : more)
        QCOMPARE(client->exchange("S\n", 1), QByteArray("RPRT 0\n"));
    for (int i = 0; i < 5; ++i)
        QVERIFY(clients[i]->closedByServer());
    QCOMPARE(server.connectionCount(), RotctldServer::MaxConnections);
    QCOMPARE(clients[5]->exchange("S\n", 1), QByteArray("RPRT 0\n"));
}

void TestRotctld::crowdedHost_data()
{
    // Source host of each connection in order of arrival; the connections that then send a line,
    // in order; the one whose command is being carried out meanwhile (-1: none); the connection
    // closed when a new client of host 0 comes.
    QTest::addColumn<QList<int>>("hosts");
    QTest::addColumn<QList<int>>("speaking");
    QTest::addColumn<int>("busy");
    QTest::addColumn<int>("evicted");

    const QList<int> full(RotctldServer::MaxConnectionsPerAddress, 0);
    QList<int> allButFirst;
    for (int i = 1; i < full.size(); ++i)
        allButFirst.append(i);
    QTest::newRow("the one silent longest") << full << QList<int>{0} << -1 << 1;
    QTest::newRow("of the crowded host only") << QList<int>{1} + full << QList<int>{1} << -1 << 2;
    QTest::newRow("never one whose command runs") << full << allButFirst << 0 << 1;
}

void TestRotctld::crowdedHost()
{
    QFETCH(QList<int>, hosts);
    QFETCH(QList<int>, speaking);
    QFETCH(int, busy);
    QFETCH(int, evicted);

    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    std::vector<std::unique_ptr<Client>> clients;
    for (const int host : hosts) {
        clients.push_back(std::make_unique<Client>(server.port(), QHostAddress::LocalHost, loopbackHost(host)));
        QVERIFY(clients.back()->connected());
        QVERIFY(QTest::qWaitFor([&] { return server.connectionCount() == int(clients.size()); }, 5000));
    }
    const auto position = [&] { return QByteArray::number(window.azimuth) + ".00\n0.00\n"; };
    std::unique_ptr<Client> newcomer;
    const auto crowd = [&] {
        for (const int i : speaking)
            QCOMPARE(clients[i]->exchange("p\n", 2), position());
        newcomer = std::make_unique<Client>(server.port());
        QVERIFY(newcomer->connected());
        QCOMPARE(newcomer->exchange("p\n", 2), position());
    };
    if (busy >= 0) {
        window.during = [&] {
            window.during = nullptr;
            crowd();
        };
        clients[busy]->socket.write("P 10 0\n");
        QVERIFY(QTest::qWaitFor([&] { return window.during == nullptr && window.depth == 0; }, 10000));
        QCOMPARE(clients[busy]->exchange({}, 1), QByteArray("RPRT 0\n"));
    } else {
        crowd();
    }
    QVERIFY(clients[evicted]->closedByServer());
    QCOMPARE(server.connectionCount(), int(hosts.size()));
}

void TestRotctld::clientThatNeverReads()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    Client deaf(server.port()), other(server.port());
    QVERIFY(deaf.connected() && other.connected());
    deaf.socket.setReadBufferSize(1);

    // Each line's answer is ten times its length. Once the kernel buffers are full and the answers
    // pile up, the server stops reading this client: a burst then no longer leaves it.
    const QByteArray burst = QByteArray("\\dump_state\n").repeated(4096);
    bool backedUp = false;
    for (int i = 0; i < 1000 && !backedUp; ++i) {
        deaf.socket.write(burst);
        backedUp = !QTest::qWaitFor([&] { return deaf.socket.bytesToWrite() == 0; }, 1000);
    }
    QVERIFY(backedUp);
    QCOMPARE(deaf.socket.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(other.exchange("p\n", 2), QByteArray("0.00\n0.00\n"));
}

void TestRotctld::answeredInFull_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<bool>("halfClosed");
    QTest::addColumn<QByteArray>("answers");

    // Far more answers than the server keeps unsent, from lines all sent before the client reads.
    FakeWindow window;
    const QByteArray line = "+\\dump_state\n";
    const QByteArray answer = rotctld::answer(rotctld::parseLine(line.chopped(1)), window.rotator());
    QTest::newRow("batch") << line.repeated(2000) << false << answer.repeated(2000);
    // printf 'P 55 0\n' | nc -N: the client shuts its sending side after its line.
    QTest::newRow("half-closed") << QByteArray("P 55 0\n") << true << QByteArray("RPRT 0\n");
    QTest::newRow("half-closed batch") << line.repeated(2000) << true << answer.repeated(2000);
}

void TestRotctld::answeredInFull()
{
    QFETCH(QByteArray, lines);
    QFETCH(bool, halfClosed);
    QFETCH(QByteArray, answers);

    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    RawClient client(server.port());
    QVERIFY(client.sendAll(lines));
    if (halfClosed)
        QCOMPARE(::shutdown(client.descriptor, SHUT_WR), 0);
    // A half-closed client is closed by the server once it has all its answers.
    QVERIFY(QTest::qWaitFor([&] { return client.take() == halfClosed && client.received.size() >= answers.size(); }, 10000));
    QCOMPARE(client.received, answers);
}

void TestRotctld::clientVanishesDuringNestedWait()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    auto client = std::make_unique<Client>(server.port());
    QVERIFY(client->connected());
    Client other(server.port());
    QVERIFY(other.connected());

    // The driver pauses inside the request; meanwhile the client sends more and leaves.
    window.during = [&] {
        window.during = nullptr;
        client->socket.write("P 30 0\n");
        client->socket.waitForBytesWritten(5000);
        client.reset();
        QTest::qWait(200);
    };
    client->socket.write("P 20 0\nP 25 0\n");
    QVERIFY(QTest::qWaitFor([&] { return client == nullptr; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return server.connectionCount() == 1; }, 5000));
    // Handled one after the other, never inside the pause, and none lost with the client.
    QCOMPARE(window.requested, (QList<int>{20, 25, 30}));
    QCOMPARE(window.deepest, 1);
    QCOMPARE(other.exchange("p\n", 2), QByteArray::number(window.azimuth) + ".00\n0.00\n");
}

void TestRotctld::portTaken()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    FakeWindow window;
    RotctldServer server(window.rotator());
    try {
        server.listen(holder.serverPort(), false);
        QFAIL("listening on a taken port succeeded");
    } catch (const TorvanelError &error) {
        QVERIFY2(error.text().contains(QString::number(holder.serverPort())), qPrintable(error.text()));
    }
    QVERIFY(!server.isListening());
}

void TestRotctld::otherComputersAllowed()
{
    QHostAddress outside;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            outside = address;
    }
    if (outside.isNull())
        QSKIP("this machine has no address besides loopback");
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    Client refused(server.port(), outside);
    QVERIFY(QTest::qWaitFor([&] { return refused.socket.error() == QAbstractSocket::ConnectionRefusedError; }, 5000));

    server.listen(server.port(), true);
    Client client(server.port(), outside);
    QVERIFY(client.connected());
    QCOMPARE(client.exchange("P 5 0\n", 1), QByteArray("RPRT 0\n"));
}

QTEST_GUILESS_MAIN(TestRotctld)
#include "test_rotctld.moc"
