#include "sources/rotctld_protocol.h"
#include "sources/rotctld_server.h"

#include "platform/error.h"
#include "support/free_ports.h"

#include <functional>
#include <memory>

#include <QPointer>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
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
    QList<rotctld::Direction> moves;
    rotctld::Motion motion = rotctld::Motion::Idle;
    // When set, an azimuth's outcome waits here until the test gives it, as the engine's does.
    bool answerLater = false;
    QList<rotctld::Done> awaited;
    // The most azimuths awaiting their outcome at once.
    int deepest = 0;
    // The positions read so far, and how many had been read at the latest stop.
    int positionsRead = 0;
    int positionsAtStop = -1;
    // Runs at the first position read.
    std::function<void()> firstRead;
    // A rotator with an overlap, and the positions on it that the clients asked for.
    std::optional<Travel> travel;
    rotctld::Overlap side = rotctld::Overlap::None;
    QList<int> travelRequested;

    rotctld::Rotator rotator()
    {
        return {
            [this](int value, rotctld::Done done) {
                requested.append(value);
                azimuth = value;
                if (!answerLater)
                    return done(status);
                awaited.append(std::move(done));
                deepest = std::max(deepest, int(awaited.size()));
            },
            [this] {
                if (++positionsRead == 1 && firstRead)
                    firstRead();
                return azimuth;
            },
            [this](rotctld::Done done) {
                ++stops;
                positionsAtStop = positionsRead;
                motion = rotctld::Motion::Idle;
                done(rotctld::Status::Ok);
            },
            [this](rotctld::Done done) {
                ++parks;
                done(parkingSet ? rotctld::Status::Ok : rotctld::Status::NotAvailable);
            },
            [this](rotctld::Direction direction, rotctld::Done done) {
                moves.append(direction);
                done(status);
            },
            [this] { return motion; },
            [this](int value, rotctld::Done done) {
                travelRequested.append(value);
                azimuth = value;
                done(status);
            },
            [this] { return travel; },
            [this] { return side; },
        };
    }

    // Gives the oldest awaited azimuth its outcome.
    void outcome(rotctld::Status result) { awaited.takeFirst()(result); }
};

// The answers to a line's commands up to a quit, from a rotator that answers at once.
QByteArray answerLine(QByteArrayView line, const rotctld::Rotator &rotator)
{
    QByteArray replies;
    for (const rotctld::Request &request : rotctld::parseLine(line)) {
        if (rotctld::isQuit(request))
            break;
        rotctld::answer(request, rotator, [&](const QByteArray &reply) { replies += reply; });
    }
    return replies;
}

// Hamlib's rotctl, a NET rotator on the server's port, given the input's commands; what it printed.
// It runs in its own process while the server answers from this event loop.
QString runRotctl(const QString &rotctl, quint16 port, const QByteArray &input, int *exitCode = nullptr)
{
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(rotctl, {QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                          QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-")});
    if (!client.waitForStarted())
        return {};
    client.write(input);
    client.closeWriteChannel();
    if (!QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 20000)) {
        client.kill();
        client.waitForFinished();
    }
    if (exitCode)
        *exitCode = client.exitCode();
    return QString::fromLatin1(client.readAll());
}

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

// How a row's answer is checked against Hamlib's rotctld -m 1 (dummy): not at all (this program's
// own meaning), its layout (numbers aside, the RPRT codes included), its first line and its end
// from the last blank line on (a text of the rotator's own between them), or to the digit.
enum class Hamlib { Own, Layout, Ends, Digits };

// Hamlib's rotctld with its dummy rotator, the reference the answers are checked against.
class HamlibDummy
{
public:
    HamlibDummy()
    {
        const quint16 port = freeTcpPort();
        process.start(QStringLiteral("rotctld"), {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"),
                                                   QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                                                   QString::number(port)});
        // It listens a moment after it starts.
        listening = QTest::qWaitFor([&] {
            socket.connectToHost(QHostAddress::LocalHost, port);
            return socket.waitForConnected(200);
        }, 10000);
    }
    ~HamlibDummy()
    {
        process.kill();
        process.waitForFinished();
    }
    bool running() const { return listening; }

    // The answer to one line. A plain answer has no end of its own: a marker command follows.
    QByteArray ask(const QByteArray &line)
    {
        static const QByteArray marker = "get_info:\nInfo: Dummy rotator\nRPRT 0\n";
        socket.write(line + "\n+\\get_info\n");
        QByteArray received;
        while (!received.endsWith(marker) && socket.waitForReadyRead(5000))
            received += socket.readAll();
        received.chop(marker.size());
        return received;
    }

private:
    QProcess process;
    QTcpSocket socket;
    bool listening = false;
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
    void initTestCase();
    void azimuthText_data();
    void azimuthText();
    void answers_data();
    void answers();
    void parkWithoutParkingIsNotAvailable();
    void overlapTravel();
    void hamlibClient();
    void gpredictLikeClient();
    void clientsAreIndependent();
    void batchHoldsNoOtherClient();
    void overLongLine_data();
    void overLongLine();
    void garbageAndHalfLines();
    void hundredConnections();
    void crowdedHost_data();
    void crowdedHost();
    void clientThatNeverReads();
    void answeredInFull_data();
    void answeredInFull();
    void clientVanishesWhileAnswerAwaited();
    void awaitedAnswerHoldsOnlyItsClient();
    void lateAnswerToAClosedServer_data();
    void lateAnswerToAClosedServer();
    void portTaken();
    void otherComputersAllowed();

private:
    std::unique_ptr<HamlibDummy> reference;
};

void TestRotctld::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("rotctld")).isEmpty())
        return;
    reference = std::make_unique<HamlibDummy>();
    QVERIFY(reference->running());
}

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
    QTest::addColumn<Hamlib>("against");

    const QList<int> none;
    const auto row = [](const char *name, const char *line, const char *reply, QList<int> requested, int stops,
                        Hamlib against) {
        QTest::newRow(name) << QByteArray(line) << QByteArray(reply) << requested << stops << against;
    };
    row("set, short", "P 123 45", "RPRT 0\n", {123}, 0, Hamlib::Layout);
    row("set, long, comma", "\\set_pos 12,7 0,0", "RPRT 0\n", {13}, 0, Hamlib::Own);
    row("set, tabs and blanks", "  P\t200   5 ", "RPRT 0\n", {200}, 0, Hamlib::Layout);
    row("set out of range", "P 400 0", "RPRT -1\n", none, 0, Hamlib::Own);
    row("set, elevation not a number", "P 10 up", "RPRT -1\n", none, 0, Hamlib::Layout);
    // An azimuth-only antenna: a flip-mode request would point it away from the target.
    row("set, elevation beyond the zenith", "P 45.5 95", "RPRT -1\n", none, 0, Hamlib::Layout);
    row("set, elevation below the horizon", "P 10 -5", "RPRT -1\n", none, 0, Hamlib::Layout);
    // Hamlib would wait for the elevation on the next line.
    row("set, one number", "P 10", "RPRT -1\n", none, 0, Hamlib::Own);
    row("set and get on one line", "P 45 10 p", "RPRT 0\n45.00\n0.00\n", {45}, 0, Hamlib::Layout);
    row("extended set, then a plain get", "+P 45 10 p", "set_pos: 45 10\nRPRT 0\n45.00\n0.00\n", {45}, 0,
        Hamlib::Layout);
    row("letters need no blank between them", "pp", "77.00\n0.00\n77.00\n0.00\n", none, 0, Hamlib::Layout);
    row("an unknown command ends the line", "P 10 0 Z p", "RPRT 0\nRPRT -4\n", {10}, 0, Hamlib::Own);
    row("comment", "p # P 1 1", "77.00\n0.00\n", none, 0, Hamlib::Layout);
    row("get, short", "p", "77.00\n0.00\n", none, 0, Hamlib::Layout);
    row("get, long", "\\get_pos", "77.00\n0.00\n", none, 0, Hamlib::Layout);
    row("a plus before a blank is no prefix", "+ p", "77.00\n0.00\n", none, 0, Hamlib::Layout);
    row("extended get", "+p", "get_pos:\nAzimuth: 77.00\nElevation: 0.00\nRPRT 0\n", none, 0, Hamlib::Layout);
    row("extended get, semicolons", ";p", "get_pos:;Azimuth: 77.00;Elevation: 0.00;RPRT 0\n", none, 0, Hamlib::Layout);
    row("extended get, bars", "|\\get_pos", "get_pos:|Azimuth: 77.00|Elevation: 0.00|RPRT 0\n", none, 0,
        Hamlib::Layout);
    row("extended set, commas", ",P 10 20", "set_pos: 10 20,RPRT 0\n", {10}, 0, Hamlib::Layout);
    row("extended set refused", "+\\set_pos abc 1", "set_pos: abc 1\nRPRT -1\n", none, 0, Hamlib::Layout);
    row("stop", "S", "RPRT 0\n", none, 1, Hamlib::Layout);
    row("extended stop", ";\\stop", "stop:;RPRT 0\n", none, 1, Hamlib::Layout);
    row("reset stops", "+R 1", "reset: 1\nRPRT 0\n", none, 1, Hamlib::Layout);
    row("status after a stop", "S s", "RPRT 0\n\n", none, 1, Hamlib::Layout);
    row("extended status", "+s", "get_status:\nStatus flags: MOVING MOVING_AZ MOVING_LEFT \nRPRT 0\n", none, 0,
        Hamlib::Own);
    row("move left", "M 8 50", "RPRT 0\n", none, 0, Hamlib::Layout);
    row("move, no such direction", "M 3 10", "RPRT -1\n", none, 0, Hamlib::Layout);
    row("move up, no elevation rotator", "+M 2 10", "move: 2 10\nRPRT -11\n", none, 0, Hamlib::Own);
    row("park", "+K", "park:\nRPRT 0\n", none, 0, Hamlib::Layout);
    row("info", "_", "Torvanel 2.4.1\n", none, 0, Hamlib::Own);
    row("extended info", "+_", "get_info:\nInfo: Torvanel 2.4.1\nRPRT 0\n", none, 0, Hamlib::Own);
    row("levels mean nothing here", "+v SPEED", "get_level: SPEED\nRPRT -11\n", none, 0, Hamlib::Own);
    row("functions mean nothing here", "U X 1", "RPRT -11\n", none, 0, Hamlib::Layout);
    row("configuration is the settings dialog's", "\\set_conf min_az 0", "RPRT -11\n", none, 0, Hamlib::Own);
    row("raw commands take the rest of the line", "w AZ? p", "RPRT -11\n", none, 0, Hamlib::Own);
    row("dump state", "\\dump_state", "1\n1\nmin_az=-180.000000\nmax_az=360.000000\nmin_el=0.000000\n"
        "max_el=90.000000\nsouth_zero=0\nrot_type=AzEl\ndone\n", none, 0, Hamlib::Layout);
    row("extended dump state", ";\\dump_state", "dump_state:;rotctld Protocol Ver: 1;Rotor Model: 1;"
        "Minimum Azimuth: -180.000000;Maximum Azimuth: 360.000000;Minimum Elevation: 0.000000;"
        "Maximum Elevation: 90.000000;South Zero: 0;rot_type=AzEl;done;RPRT 0\n", none, 0, Hamlib::Layout);
    // A reader waits for the status that ends the capabilities.
    row("capabilities", "1", "", none, 0, Hamlib::Ends);
    row("extended capabilities", "+\\dump_caps", "", none, 0, Hamlib::Ends);
    row("capabilities, semicolons", ";1", "", none, 0, Hamlib::Ends);
    row("unknown", "Z", "RPRT -4\n", none, 0, Hamlib::Own);
    row("long names are case-sensitive", "\\STOP", "RPRT -4\n", none, 0, Hamlib::Own);
    row("binary", "\x01\xff\x7f", "RPRT -4\n", none, 0, Hamlib::Own);
    row("quit answers nothing", "q", "", none, 0, Hamlib::Own);

    row("locator of a position", "+L 0.1 51.5 6", "lonlat2loc: 0.1 51.5 6\nLocator: JO01BM\nRPRT 0\n", none, 0,
        Hamlib::Digits);
    row("longest locator", "L -179.99 -89.99 12", "", none, 0, Hamlib::Digits);
    row("position of a locator", "l JO01aa", "0.041667\n51.020833\n", none, 0, Hamlib::Digits);
    row("position of a field", "+l jo", "", none, 0, Hamlib::Digits);
    row("no such locator", "+l XX99", "loc2lonlat: XX99\nRPRT -1\n", none, 0, Hamlib::Digits);
    row("degrees, minutes, seconds", "D 10 30 0 1", "-10.500000\n", none, 0, Hamlib::Digits);
    row("decimal to degrees, minutes, seconds", "+d -10.51", "", none, 0, Hamlib::Digits);
    row("degrees and decimal minutes", "E 10 30.5 0", "10.508333\n", none, 0, Hamlib::Digits);
    row("extended degrees and decimal minutes", "+E 10 30.5 0", "", none, 0, Hamlib::Digits);
    row("decimal to decimal minutes", ";e 10.51", "", none, 0, Hamlib::Digits);
    row("distance and bearing", "B 0 51 10 52", "700.529278\n77.000000\n", none, 0, Hamlib::Digits);
    row("across the date line", "+B -179.5 10 179.5 -10", "", none, 0, Hamlib::Digits);
    row("antipodes", "B 0 0 180 0", "", none, 0, Hamlib::Digits);
    row("the same point", "B 10 20 10 20", "", none, 0, Hamlib::Digits);
    row("latitude beyond the pole", "B 0 91 0 0", "RPRT -1\n", none, 0, Hamlib::Digits);
    row("long path bearing", "A 10", "190.000000\n", none, 0, Hamlib::Digits);
    row("long path bearing out of range", "A 400", "RPRT -1\n", none, 0, Hamlib::Digits);
    row("long path distance", "+a 1000", "", none, 0, Hamlib::Digits);
}

void TestRotctld::answers()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, requested);
    QFETCH(int, stops);
    QFETCH(Hamlib, against);

    FakeWindow window;
    window.azimuth = 77;
    window.motion = rotctld::Motion::TurningLeft;
    const QByteArray ours = answerLine(line, window.rotator());
    // Rows checked to the digit or by their ends need no value of their own: Hamlib's is the reference.
    if (!reply.isEmpty() || against == Hamlib::Own || against == Hamlib::Layout)
        QCOMPARE(ours, reply);
    QCOMPARE(window.requested, requested);
    QCOMPARE(window.stops, stops);
    if (against == Hamlib::Own)
        return;
    if (!reference)
        QSKIP("Hamlib's rotctld is not installed");
    const QByteArray theirs = reference->ask(line);
    if (against == Hamlib::Digits) {
        QCOMPARE(ours, theirs);
    } else if (against == Hamlib::Ends) {
        const auto ends = [](const QByteArray &text) {
            return text.left(text.indexOf('\t')) + " ... " + text.mid(text.lastIndexOf("\n\n"));
        };
        QCOMPARE(ends(ours), ends(theirs));
    } else {
        // Numbers aside: the dummy's position and ranges are its own.
        static const QRegularExpression numbers(QStringLiteral("(?<!RPRT )-?\\d+(\\.\\d+)?"));
        QCOMPARE(QString::fromLatin1(ours).replace(numbers, QStringLiteral("#")),
                 QString::fromLatin1(theirs).replace(numbers, QStringLiteral("#")));
    }
}

void TestRotctld::parkWithoutParkingIsNotAvailable()
{
    FakeWindow window;
    window.parkingSet = false;
    QCOMPARE(answerLine("K", window.rotator()), QByteArray("RPRT -11\n"));
    QCOMPARE(answerLine("\\park", window.rotator()), QByteArray("RPRT -11\n"));
    QCOMPARE(window.parks, 2);
}

void TestRotctld::overlapTravel()
{
    FakeWindow window;
    window.travel = Travel{0, 450};
    window.azimuth = 370;
    window.side = rotctld::Overlap::Right;
    // The whole travel is told, the position on it, and Hamlib's flag for a rotator past north.
    QCOMPARE(answerLine("\\dump_state", window.rotator()),
             QByteArray("1\n1\nmin_az=0.000000\nmax_az=450.000000\nmin_el=0.000000\nmax_el=90.000000\n"
                        "south_zero=0\nrot_type=AzEl\ndone\n"));
    QCOMPARE(answerLine("p +s", window.rotator()),
             QByteArray("370.00\n0.00\nget_status:\nStatus flags: OVERLAP_RIGHT \nRPRT 0\n"));
    // A position only the overlap reaches is taken as it is; a heading is the window's to turn
    // to; past the travel's end is refused, before north a heading as ever.
    QCOMPARE(answerLine("P 370 0 P 10 0 P 450 0 P 450.4 0 P -10 0", window.rotator()),
             QByteArray("RPRT 0\nRPRT 0\nRPRT 0\nRPRT -1\nRPRT 0\n"));
    QCOMPARE(window.travelRequested, QList<int>({370, 450}));
    QCOMPARE(window.requested, QList<int>({10, 350}));

    // Hamlib's own client holds its requests to the travel it was told.
    const QString rotctl = QStandardPaths::findExecutable(QStringLiteral("rotctl"));
    if (rotctl.isEmpty())
        QSKIP("Hamlib's rotctl is not installed");
    RotctldServer server(window.rotator());
    server.listen(0, false);
    const QString output = runRotctl(rotctl, server.port(), "P 420 0\np\n");
    QCOMPARE(window.travelRequested, QList<int>({370, 450, 420}));
    QVERIFY2(output.contains(QLatin1String("420.00\n0.00")), qPrintable(output));
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
    int exitCode = -1;
    const QString output = runRotctl(rotctl, server.port(), "P 123 45\np\nS\n", &exitCode);
    QCOMPARE(exitCode, 0);
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

void TestRotctld::batchHoldsNoOtherClient()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    RawClient batch(server.port()), other(server.port());
    QTRY_COMPARE(server.connectionCount(), 2);

    // The whole batch waits at the server before the first of it is read. While the first line is
    // being answered, the other client asks: it must not wait for the rest of the batch.
    const int lines = 4096;
    QCOMPARE(::send(batch.descriptor, QByteArray("p\n").repeated(lines).constData(), 2 * lines, 0), 2 * lines);
    window.firstRead = [&] { QCOMPARE(::send(other.descriptor, "S\n", 2, 0), 2); };
    QTRY_VERIFY(other.take() || other.received == "RPRT 0\n");
    QCOMPARE(other.received, QByteArray("RPRT 0\n"));
    QVERIFY2(window.positionsAtStop < lines, qPrintable(QString::number(window.positionsAtStop)));
    QVERIFY(QTest::qWaitFor([&] { return batch.take() || batch.received.size() >= 10 * lines; }, 10000));
    QCOMPARE(batch.received, QByteArray("0.00\n0.00\n").repeated(lines));
}

void TestRotctld::overLongLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    const auto padded = [](qsizetype length) { return "P 10" + QByteArray(length - 5, ' ') + "0"; };
    QTest::newRow("at the limit") << padded(RotctldServer::MaxLineLength) << QByteArray("RPRT 0\n");
    QTest::newRow("one beyond") << padded(RotctldServer::MaxLineLength + 1) << QByteArray("RPRT -1\n");
    // Refused whole: no command of it is carried out.
    QTest::newRow("commands before the limit") << "p p p" + QByteArray(1500, ' ') << QByteArray("RPRT -1\n");
    QTest::newRow("far beyond") << QByteArray(200000, 'x') << QByteArray("RPRT -1\n");
}

void TestRotctld::overLongLine()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    FakeWindow window;
    window.azimuth = 5;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    Client client(server.port());
    QVERIFY(client.connected());

    // Answered once, and the connection goes on with the next line.
    const QByteArray answers = client.exchange(line + "\r\np\n", 3);
    QCOMPARE(answers, answer + QByteArray::number(window.azimuth) + ".00\n0.00\n");
    QCOMPARE(window.requested.size(), answer == "RPRT 0\n" ? 1 : 0);
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
    // Every request in before anyone asks, so each p answers the same last azimuth.
    QTRY_COMPARE_WITH_TIMEOUT(window.requested.size(), 100, 10000);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(clients[i]->exchange("p\n", 3), "RPRT 0\n" + QByteArray::number(window.azimuth) + ".00\n0.00\n");
    QCOMPARE(server.connectionCount(), 100);

    // Beyond the limit each newcomer gets in, and the client silent longest makes room.
    std::vector<std::unique_ptr<Client>> more;
    for (int i = 0; i < RotctldServer::MaxConnections - 100 + 5; ++i) {
        more.push_back(std::make_unique<Client>(server.port(), QHostAddress::LocalHost, loopbackHost(4 + i % 2)));
        QVERIFY(more.back()->connected());
        QCOMPARE(more.back()->exchange("S\n", 1), QByteArray("RPRT 0\n"));
    }
    for (int i = 0; i < 5; ++i)
        QVERIFY(clients[i]->closedByServer());
    QCOMPARE(server.connectionCount(), RotctldServer::MaxConnections);
    QCOMPARE(clients[5]->exchange("S\n", 1), QByteArray("RPRT 0\n"));
}

void TestRotctld::crowdedHost_data()
{
    // Source host of each connection in order of arrival; the connections that send a line as
    // soon as they are in; the one whose command is being carried out meanwhile (-1: none); the
    // connection closed when a new client of host 0 comes.
    QTest::addColumn<QList<int>>("hosts");
    QTest::addColumn<QList<int>>("speaking");
    QTest::addColumn<int>("busy");
    QTest::addColumn<int>("evicted");

    const QList<int> full(RotctldServer::MaxConnectionsPerAddress, 0);
    QList<int> all;
    for (int i = 0; i < full.size(); ++i)
        all.append(i);
    // A client that talks, then connections left open one after the other (a leak).
    QTest::newRow("a talker outlives a leak") << full << QList<int>{0} << -1 << 1;
    QTest::newRow("of the crowded host only") << QList<int>{1} + full << QList<int>{1} << -1 << 2;
    QTest::newRow("one that never sent a line, however new") << full << all.first(all.size() - 1) << -1
                                                             << int(all.size()) - 1;
    QTest::newRow("else the one silent longest") << full << all << -1 << 0;
    QTest::newRow("never one whose command runs") << full << all.mid(1) << 0 << 1;
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
    const auto position = [&] { return QByteArray::number(window.azimuth) + ".00\n0.00\n"; };
    std::vector<std::unique_ptr<Client>> clients;
    for (const int host : hosts) {
        clients.push_back(std::make_unique<Client>(server.port(), QHostAddress::LocalHost, loopbackHost(host)));
        QVERIFY(clients.back()->connected());
        QVERIFY(QTest::qWaitFor([&] { return server.connectionCount() == int(clients.size()); }, 5000));
        if (speaking.contains(int(clients.size()) - 1))
            QCOMPARE(clients.back()->exchange("p\n", 2), position());
    }
    std::unique_ptr<Client> newcomer;
    const auto crowd = [&] {
        newcomer = std::make_unique<Client>(server.port());
        QVERIFY(newcomer->connected());
        QCOMPARE(newcomer->exchange("p\n", 2), position());
    };
    if (busy >= 0) {
        window.answerLater = true;
        clients[busy]->socket.write("P 10 0\n");
        QTRY_COMPARE(window.awaited.size(), 1);
        crowd();
        window.outcome(rotctld::Status::Ok);
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
    const QByteArray answer = answerLine(line.chopped(1), window.rotator());
    QTest::newRow("batch") << line.repeated(2000) << false << answer.repeated(2000);
    // printf 'P 55 0\n' | nc -N: the client shuts its sending side after its line.
    QTest::newRow("half-closed") << QByteArray("P 55 0\n") << true << QByteArray("RPRT 0\n");
    QTest::newRow("half-closed batch") << line.repeated(2000) << true << answer.repeated(2000);
    // printf 'p\nP 55 0' | nc -N: the last line has no end, as Hamlib's rotctld takes it.
    QTest::newRow("half-closed, last line without its end") << QByteArray("p\nP 55 0") << true
                                                            << QByteArray("0.00\n0.00\nRPRT 0\n");
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

void TestRotctld::clientVanishesWhileAnswerAwaited()
{
    FakeWindow window;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    auto client = std::make_unique<Client>(server.port());
    QVERIFY(client->connected());
    Client other(server.port());
    QVERIFY(other.connected());

    // The first outcome is awaited; meanwhile the client sends more and leaves.
    window.answerLater = true;
    client->socket.write("P 20 0\nP 25 0\n");
    QTRY_COMPARE(window.requested, QList<int>{20});
    client->socket.write("P 30 0\n");
    QVERIFY(client->socket.waitForBytesWritten(5000));
    client.reset();
    for (const int next : {25, 30}) {
        window.outcome(rotctld::Status::Ok);
        QTRY_COMPARE(window.requested.last(), next);
    }
    window.outcome(rotctld::Status::Ok);
    QTRY_COMPARE(server.connectionCount(), 1);
    // Handled one after the other, each once the one before had its outcome, none lost with the client.
    QCOMPARE(window.requested, (QList<int>{20, 25, 30}));
    QCOMPARE(window.deepest, 1);
    QCOMPARE(other.exchange("p\n", 2), QByteArray::number(window.azimuth) + ".00\n0.00\n");
}

void TestRotctld::awaitedAnswerHoldsOnlyItsClient()
{
    FakeWindow window;
    window.answerLater = true;
    RotctldServer server(window.rotator());
    server.listen(0, false);
    RawClient waiting(server.port());
    Client other(server.port());
    QVERIFY(other.connected());
    const auto received = [&] {
        waiting.take();
        return waiting.received;
    };

    // The client has sent all it will: every answer is still owed, the awaited ones included.
    QVERIFY(waiting.sendAll("P 20 0 P 10 0\np\n"));
    QCOMPARE(::shutdown(waiting.descriptor, SHUT_WR), 0);
    QTRY_COMPARE(window.requested, QList<int>{20});
    QCOMPARE(other.exchange("p\n", 2), QByteArray("20.00\n0.00\n"));
    QCOMPARE(received(), QByteArray());
    // Overtaken before it went out: answered as soon as that is known, the rest of the line after it.
    window.outcome(rotctld::Status::Rejected);
    QTRY_COMPARE(received(), QByteArray("RPRT -9\n"));
    QTRY_COMPARE(window.requested, (QList<int>{20, 10}));
    window.outcome(rotctld::Status::Ok);
    QTRY_VERIFY(waiting.take());
    QCOMPARE(waiting.received, QByteArray("RPRT -9\nRPRT 0\n10.00\n0.00\n"));
    QTRY_COMPARE(server.connectionCount(), 1);
}

void TestRotctld::lateAnswerToAClosedServer_data()
{
    QTest::addColumn<bool>("destroyed");
    QTest::newRow("closed") << false;
    QTest::newRow("destroyed") << true;
}

void TestRotctld::lateAnswerToAClosedServer()
{
    QFETCH(bool, destroyed);

    FakeWindow window;
    window.answerLater = true;
    auto server = std::make_unique<RotctldServer>(window.rotator());
    server->listen(0, false);
    Client client(server->port());
    QVERIFY(client.connected());
    client.socket.write("P 20 0\nP 30 0\n");
    QTRY_COMPARE(window.requested, QList<int>{20});

    if (destroyed)
        server.reset();
    else
        server->close();
    // The outcome comes after its connection was dropped: it goes nowhere and carries out nothing more.
    window.outcome(rotctld::Status::Ok);
    QVERIFY(client.closedByServer());
    QCOMPARE(client.socket.readAll(), QByteArray());
    QCOMPARE(window.requested, QList<int>{20});
    if (server)
        QCOMPARE(server->connectionCount(), 0);
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

    // A port of its own: the one just released may meanwhile serve a connection of another test.
    server.listen(0, true);
    Client client(server.port(), outside);
    QVERIFY(client.connected());
    QCOMPARE(client.exchange("P 5 0\n", 1), QByteArray("RPRT 0\n"));
}

QTEST_GUILESS_MAIN(TestRotctld)
#include "test_rotctld.moc"
