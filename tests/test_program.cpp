#include <csignal>
#include <sys/stat.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include "support/free_ports.h"

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
    void linkToAFifoLeftAlone();
    void closesUnderAnOpenBox_data();
    void closesUnderAnOpenBox();
    void closesWhenTheLineVanished();
    void closesUnderAzimuthTraffic();
    void secondCopyLeavesTheFileToTheFirst();
    void closesWhileHamlibOpensForever();

private:
    // Starts the program, lets it reach its message loop, then sends the signal.
    int runAndEnd(const QStringList &environment = {}, int signal = SIGTERM);
    QByteArray configuration() const;
    void writeConfiguration(const QByteArray &lines);
    // The full sample with these KEY=value lines in place of its own, and ports of this run.
    QByteArray fullFile(const QList<QByteArray> &lines) const;
    // Starts the program offscreen, without a session bus, and lets it reach its message loop.
    bool start(QProcess &program);
    // SIGTERM, then the program must end by itself within the bound.
    void endWithin(QProcess &program, int boundMs = 10000);
    void sendAzimuth(int azimuth);
    // Whether the program has read the azimuth sent and waits for events again.
    bool azimuthTaken(const QProcess &program);

    quint16 listenerPort = 0;
    // The logger's own port, where the program sends its heading once it has heard the logger.
    std::unique_ptr<QUdpSocket> headings;

    std::unique_ptr<QTemporaryDir> home;
};

void TestProgram::init()
{
    home = std::make_unique<QTemporaryDir>();
    const QString built = qEnvironmentVariable("TORVANEL_BUILD_DIR") + QStringLiteral("/torvanel");
    QVERIFY(QFile::copy(built, home->filePath(QStringLiteral("torvanel"))));
    QFile(home->filePath(QStringLiteral("torvanel"))).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    headings = std::make_unique<QUdpSocket>();
    QVERIFY(headings->bind(QHostAddress::LocalHost, 0));
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

// Closed while the start-up's box names the link: nothing is read from the FIFO or put in its
// place, and standard error says that the settings were not saved.
void TestProgram::linkToAFifoLeftAlone()
{
    const QString fifo = home->filePath(QStringLiteral("station.fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QVERIFY(QFile::link(fifo, home->filePath(QStringLiteral("Torvanel.ini"))));
    QProcess program;
    QVERIFY(start(program));
    endWithin(program);
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(fifo).constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
    QVERIFY(QFileInfo(home->filePath(QStringLiteral("Torvanel.ini"))).isSymLink());
    QVERIFY(!QFile::exists(home->filePath(QStringLiteral("Torvanel.~in"))));
    QVERIFY(program.readAllStandardError().contains("not saved"));
}

// The listener's base port is at most 50000, as the settings dialog allows: a UDP port free
// on both families below that, plus the sample's antenna 5.
static quint16 freeListenerPort()
{
    return freeUdpPort();
}

QByteArray TestProgram::fullFile(const QList<QByteArray> &lines) const
{
    QByteArray file = fullSample;
    const QList<QByteArray> ours = {"PORTN1MM=" + QByteArray::number(listenerPort - 5),
                                    "ROTCTLDPORT=" + QByteArray::number(freeTcpPort()),
                                    "N1MMHEADINGPORT=" + QByteArray::number(headings->localPort())};
    for (const QByteArray &line : ours + lines) {
        const QByteArray key = line.left(line.indexOf('=') + 1);
        const qsizetype at = file.indexOf("\n" + key) + 1;
        file.replace(at, file.indexOf("\r\n", at) - at, line);
    }
    return file;
}

bool TestProgram::start(QProcess &program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    program.setProcessEnvironment(environment);
    program.start(home->filePath(QStringLiteral("torvanel")), {});
    return program.waitForStarted(5000) && waitUntilWaitingForEvents(program);
}

void TestProgram::endWithin(QProcess &program, int boundMs)
{
    ::kill(pid_t(program.processId()), SIGTERM);
    const bool ended = program.waitForFinished(boundMs);
    if (!ended) {
        program.kill();
        program.waitForFinished();
    }
    QVERIFY2(ended, "still running with nobody at the keyboard");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void TestProgram::sendAzimuth(int azimuth)
{
    // A loaded machine may still be starting the program: a datagram before its listener is
    // bound would be lost. The port refuses a second, unshared binding once it is.
    QVERIFY(QTest::qWaitFor([this] {
        QUdpSocket probe;
        return !probe.bind(QHostAddress::AnyIPv4, listenerPort, QAbstractSocket::DontShareAddress);
    }, 10000));
    // Named by its rotor, as N1MM Logger+ sends it: the program then tells the logger its heading.
    QUdpSocket logger;
    logger.writeDatagram("<N1MMRotor><rotor>Beam</rotor><goazi>" + QByteArray::number(azimuth) + "</goazi></N1MMRotor>",
                         QHostAddress::LocalHost, listenerPort);
}

bool TestProgram::azimuthTaken(const QProcess &program)
{
    // An empty receive queue does not tell a datagram read from one the system has not delivered
    // yet; the heading back to the logger does.
    return QTest::qWaitFor([&] { return headings->hasPendingDatagrams() && waitsForEvents(program.processId()); },
                           20000);
}

void TestProgram::closesUnderAnOpenBox_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("extraLine");
    QTest::addColumn<int>("azimuth");
    QTest::addColumn<bool>("listenerPortHeld");
    // The box opens at start-up, at the first activation, or under a command.
    QTest::newRow("skipped line at start-up") << QList<QByteArray>() << QByteArray("WLEFT=abc\r\n") << -1 << false;
    QTest::newRow("listener's port held") << QList<QByteArray>() << QByteArray() << -1 << true;
    QTest::newRow("ARSWIN not running") << QList<QByteArray>{"ANT=EA4TX"} << QByteArray() << 77 << false;
    QTest::newRow("Movenow cannot be run") << QList<QByteArray>{"ANT=KCT", "MOVENOW=kct/"} << QByteArray() << 77 << false;
}

void TestProgram::closesUnderAnOpenBox()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, extraLine);
    QFETCH(int, azimuth);
    QFETCH(bool, listenerPortHeld);
    listenerPort = freeListenerPort();
    const QByteArray given = fullFile(lines);
    QByteArray withExtra = given;
    withExtra.insert(withExtra.indexOf("\r\n") + 2, extraLine);
    QFile file(home->filePath(QStringLiteral("Torvanel.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(withExtra);
    file.close();
    // A file that is there but cannot be run.
    QDir(home->path()).mkpath(QStringLiteral("kct"));
    QFile movenow(home->filePath(QStringLiteral("kct/Movenow.com")));
    QVERIFY(movenow.open(QIODevice::WriteOnly));
    movenow.close();
    QUdpSocket holder;
    if (listenerPortHeld)
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, listenerPort, QAbstractSocket::DontShareAddress));

    QProcess program;
    QVERIFY(start(program));
    if (azimuth >= 0) {
        sendAzimuth(azimuth);
        // The close must come once the program has taken the command, or its azimuth is lost.
        QVERIFY(azimuthTaken(program));
    }
    endWithin(program);
    QByteArray expected = given;
    if (azimuth >= 0)
        expected.replace("ANGLE=123\r\n", "ANGLE=" + QByteArray::number(azimuth) + "\r\n");
    QCOMPARE(configuration(), expected);
}

void TestProgram::closesWhenTheLineVanished()
{
    listenerPort = freeListenerPort();
    auto line = std::make_unique<PseudoTerminal>();
    line->linkAs(home->path(), 3);
    const QByteArray given = fullFile({"STEP_GS232=0"});
    writeConfiguration(given.mid(given.indexOf("\r\n") + 2));
    QProcess program;
    QVERIFY(start(program));
    line->drain();
    sendAzimuth(46);
    // Another process writes it: generous, for a loaded machine or a sanitizer build.
    QCOMPARE(line->read(9, 10000), QByteArray("W046 000\r"));
    // The adapter is unplugged: the exit's stop and parking find no line.
    line.reset();
    endWithin(program);
    // The parking azimuth is the last one shown, though it could not be sent.
    QByteArray expected = given;
    QCOMPARE(configuration(), expected.replace("ANGLE=123\r\n", "ANGLE=200\r\n"));
}

void TestProgram::closesUnderAzimuthTraffic()
{
    listenerPort = freeListenerPort();
    PseudoTerminal line;
    line.linkAs(home->path(), 3);
    const QByteArray given = fullFile({"STEP_GS232=0", "ROTCTLD=0"});
    writeConfiguration(given.mid(given.indexOf("\r\n") + 2));
    QProcess program;
    QVERIFY(start(program));
    QTimer logger;
    int azimuth = 0;
    QObject::connect(&logger, &QTimer::timeout, [&] { sendAzimuth(azimuth = (azimuth + 7) % 360); });
    logger.start(33);
    QTest::qWait(1000);
    endWithin(program);
    logger.stop();
    // The exit's parking went out after the traffic's last command.
    QVERIFY(line.drain().endsWith("W200 000\r"));
}

void TestProgram::secondCopyLeavesTheFileToTheFirst()
{
    writeConfiguration("WLEFT=40\r\n");
    QProcess first;
    QVERIFY(start(first));
    const QByteArray before = configuration();
    QProcess second;
    second.setProcessChannelMode(QProcess::SeparateChannels);
    second.setProcessEnvironment(first.processEnvironment());
    second.start(home->filePath(QStringLiteral("torvanel")), {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardError().contains("already runs with " + QFileInfo(home->path()).canonicalFilePath().toUtf8() + "/Torvanel.ini"));
    QCOMPARE(configuration(), before);
    QCOMPARE(first.state(), QProcess::Running);
    endWithin(first);
    // The first copy saves at its end, and a copy started afterwards runs.
    QVERIFY(configuration() != before);
    QCOMPARE(runAndEnd({QStringLiteral("LC_ALL=C")}), 0);
}

// A loopback port whose listener never takes a connection and whose one-place queue is full: a
// further connection hangs in its opening handshake, as towards a host that has gone away.
struct Blackhole {
    Blackhole()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ready = ::bind(listener, reinterpret_cast<sockaddr *>(&address), size) == 0 && ::listen(listener, 0) == 0
            && ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) == 0;
        port = ntohs(address.sin_port);
        filler.connectToHost(QHostAddress::LocalHost, port);
        ready = ready && filler.waitForConnected(2000);
    }
    ~Blackhole() { ::close(listener); }

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    quint16 port = 0;
    QTcpSocket filler;
    bool ready = false;
};

// Hamlib's network model opens towards a host that never answers: the opening, the command
// waiting for it and the exit's parking all hang on it. The program still ends, and saves its file.
void TestProgram::closesWhileHamlibOpensForever()
{
    listenerPort = freeListenerPort();
    Blackhole nowhere;
    QVERIFY(nowhere.ready);
    const QByteArray given = fullFile({"ANT=HAMLIB", "PARKING=HAMLIB", "HAMLIB_MODEL=2",
                                       "HAMLIB_DEVICE=127.0.0.1:" + QByteArray::number(nowhere.port)});
    writeConfiguration(given.mid(given.indexOf("\r\n") + 2));
    QProcess program;
    QVERIFY(start(program));
    sendAzimuth(77);
    QVERIFY(azimuthTaken(program));
    // The bound only tells a hang: the program gives Hamlib a few seconds.
    endWithin(program);
    QByteArray expected = given;
    QCOMPARE(configuration(), expected.replace("ANGLE=123\r\n", "ANGLE=200\r\n"));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
