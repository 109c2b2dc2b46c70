#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "sources/rotctld_server.h"
#include "support/free_ports.h"
#include "support/gs232_station.h"
#include "ui/dial.h"
#include "ui/settings_dialog.h"
#include "ui/tform1.h"
#include "ui/up_down.h"
#include "widgets/lcd99.h"

namespace {

// A GS-232B at the far end of the line: it keeps what Hamlib sends and answers its position
// query with the azimuth it is given.
struct AnsweringGs232b {
    explicit AnsweringGs232b(const PseudoTerminal &line) : line(line), notifier(line.master, QSocketNotifier::Read)
    {
        QObject::connect(&notifier, &QSocketNotifier::activated, [this] {
            char chunk[256];
            const ssize_t n = ::read(this->line.master, chunk, sizeof chunk);
            if (n <= 0)
                return;
            received.append(chunk, n);
            if (answers && received.endsWith("C2\r")) {
                const QByteArray reply = "AZ=" + QByteArray::number(azimuth).rightJustified(3, '0') + "  EL=000\r\n";
                [[maybe_unused]] const ssize_t written = ::write(this->line.master, reply.constData(), reply.size());
            }
        });
    }
    // What arrived, the position queries left out.
    QByteArray commands() const { return QByteArray(received).replace("C2\r", ""); }

    const PseudoTerminal &line;
    QSocketNotifier notifier;
    QByteArray received;
    int azimuth = 87;
    bool answers = true;
};

// Hamlib's own rotctld with its dummy rotator on a loopback port, configured as told.
struct DummyRotctld {
    explicit DummyRotctld(const QString &configuration = QStringLiteral("min_az=0"))
    {
        server.start(QStringLiteral("rotctld"), {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"),
                                                 QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                                                 QString::number(port), QStringLiteral("-C"), configuration});
        // It listens a moment after it starts; a loaded machine may take seconds to get it there.
        ready = server.waitForStarted() && QTest::qWaitFor([this] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(100);
        }, 20000);
    }
    ~DummyRotctld()
    {
        server.kill();
        server.waitForFinished();
    }
    // The azimuth the dummy reports, asked as any rotctld client asks.
    int azimuth() const
    {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        client.waitForConnected(2000);
        client.write("p\n");
        while (client.canReadLine() || client.waitForReadyRead(2000)) {
            if (client.canReadLine())
                return int(client.readLine().trimmed().toDouble());
        }
        return -1;
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port); }

    quint16 port = freeTcpPort();
    QProcess server;
    bool ready = false;
};

int rounded(std::optional<double> azimuth)
{
    return azimuth ? int(std::nearbyint(*azimuth)) : -1;
}

// How many of this process's files are open on the device.
int openedHere(const QString &device)
{
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    int count = 0;
    for (const QFileInfo &each : descriptors.entryInfoList(QDir::System))
        count += each.symLinkTarget() == device;
    return count;
}

} // namespace

// The Hamlib interface through the real main window: Hamlib's dummy in process, a GS-232B on a
// pseudo-terminal, Hamlib's own rotctld over loopback, and controllers that never answer.
class TestHamlib : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dummyFollowsTheCommands_data();
    void dummyFollowsTheCommands();
    void secondNeedleWhereTheRotatorSays();
    void gs232bOnTheLine_data();
    void gs232bOnTheLine();
    void netRotctlParksAtExit();
    void rotctldAnswersWhatHamlibDid();
    void unansweredControllerIsReportedOnce_data();
    void unansweredControllerIsReportedOnce();
    void ownRotctldIsRefused_data();
    void ownRotctldIsRefused();
    void modelRangeAroundNorthReachesEveryAzimuth();
    void overlapReadBack();
    void travelPastTheModelsEndsIsReported();
    void leavingHamlibSilencesItsLine();

private:
    void createWindow(int model, int pollMs);
    // MAN with the azimuth box as it is; its outcome comes to `heard` once Hamlib has answered.
    void trackBox();

    std::unique_ptr<Gs232Station> station;
    TForm1 *window = nullptr;
    std::optional<Outcome> heard;
};

void TestHamlib::init()
{
    station = std::make_unique<Gs232Station>();
    heard.reset();
}

void TestHamlib::cleanup()
{
    delete window;
    window = nullptr;
    station.reset();
}

void TestHamlib::createWindow(int model, int pollMs)
{
    Settings &s = settings();
    s.ANT = Hamlib;
    s.HAMLIB_MODEL = model;
    s.PORT_HAMLIB = 2;
    s.HAMLIB_POLL = pollMs;
    window = new TForm1;
    window->FormActivate();
}

void TestHamlib::trackBox()
{
    heard.reset();
    window->trackBoxAzimuth([this](const TrackResult &result) { heard = result.outcome; });
}

void TestHamlib::dummyFollowsTheCommands_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("stopOnTheWay");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("stopSide");
    QTest::newRow("goes there") << 20 << false << 0 << int(NorthStop);
    QTest::newRow("stops on the way") << 300 << true << 0 << int(NorthStop);
    QTest::newRow("offset undone in the reading") << 20 << false << 10 << int(NorthStop);
    QTest::newRow("south stop undone in the reading") << 200 << false << 0 << int(SouthStop);
}

void TestHamlib::dummyFollowsTheCommands()
{
    QFETCH(int, target);
    QFETCH(bool, stopOnTheWay);
    QFETCH(int, offset);
    QFETCH(int, stopSide);
    settings().AZOFFSET_HAMLIB = offset;
    settings().STOP_HAMLIB = stopSide;
    createWindow(1, 50);
    window->UpDownAzi->setPosition(target);
    trackBox();
    QTRY_COMPARE(heard, std::optional(Outcome::Sent));
    // The dummy turns at its own pace: readings on the way, then the target, in the operator's terms.
    QList<int> readings;
    QElapsedTimer sinceChange;
    sinceChange.start();
    const QObject listening;
    connect(window->hamlib.get(), &HamlibDriver::measuredAzimuthChanged, &listening, [&] {
        readings << rounded(window->hamlib->measuredAzimuth());
        sinceChange.restart();
    });
    if (stopOnTheWay) {
        QTRY_VERIFY(readings.size() >= 2);
        window->BitBtnStopClick();
        // Turning, the dummy reports a new azimuth at every 50 ms reading: most of a second without
        // one means it has stopped. A loaded machine may carry the stop out late, after such a
        // pause: the wait starts again at each reading. Had it not stopped, it would end at the target.
        QTRY_VERIFY_WITH_TIMEOUT(sinceChange.elapsed() >= 800, 20000);
        QVERIFY(rounded(window->hamlib->measuredAzimuth()) != target);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(rounded(window->hamlib->measuredAzimuth()), target, 20000);
        QVERIFY(readings.size() >= 2);
    }
    QCOMPARE(window->knownAzimuth(), rounded(window->hamlib->measuredAzimuth()));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestHamlib::secondNeedleWhereTheRotatorSays()
{
    // A controller that answers at once: the dummy would take 15 s to turn there.
    AnsweringGs232b controller(station->line);
    controller.azimuth = 90;
    createWindow(603, 50);
    window->UpDownAzi->setPosition(90);
    trackBox();
    QTRY_COMPARE(heard, std::optional(Outcome::Sent));
    QTRY_COMPARE(rounded(window->hamlib->measuredAzimuth()), 90);
    // AUTO is off: the box's needle moves, the rotator's stays.
    window->UpDownAzi->setPosition(270);
    const auto colourAt = [this](int azimuth) {
        const QPoint end = dial::needleEnd(azimuth);
        const QPoint along = dial::Centre + (end - dial::Centre) * 3 / 4;
        return window->Image1->pixmap().toImage().pixelColor(along);
    };
    QCOMPARE(colourAt(90), dial::MeasuredNeedle);
    QCOMPARE(colourAt(270), QColor(255, 0, 0));
    QVERIFY(window->LabelEtatInterface->text().endsWith(QStringLiteral("AZ=90")));
    QCOMPARE(window->Image1->toolTip(), QString::fromUtf8("90°"));
    // Closed, the interface measures nothing: no second needle.
    window->hamlib->close();
    QVERIFY(colourAt(90) != dial::MeasuredNeedle);
    QVERIFY(window->Image1->toolTip().isEmpty());
    QCOMPARE(window->knownAzimuth(), 90);
}

void TestHamlib::gs232bOnTheLine_data()
{
    QTest::addColumn<int>("azimuth");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("shown");
    // Hamlib ends each of its GS-232B commands with a second CR.
    QTest::newRow("position") << 123 << 0 << false << QByteArray("W123 000\r\r") << 87 << 87;
    QTest::newRow("offset both ways") << 123 << 5 << false << QByteArray("W118 000\r\r") << 87 << 92;
    QTest::newRow("stop") << 123 << 0 << true << QByteArray("W123 000\r\rS\r\r") << 100 << 100;
}

void TestHamlib::gs232bOnTheLine()
{
    QFETCH(int, azimuth);
    QFETCH(int, offset);
    QFETCH(bool, stop);
    QFETCH(QByteArray, sent);
    QFETCH(int, reported);
    QFETCH(int, shown);
    AnsweringGs232b controller(station->line);
    controller.azimuth = reported;
    settings().AZOFFSET_HAMLIB = offset;
    createWindow(603, 100);
    window->UpDownAzi->setPosition(azimuth);
    trackBox();
    QTRY_COMPARE(heard, std::optional(Outcome::Sent));
    if (stop) {
        // A stop cancels a move not yet sent: this one waits until it has gone.
        QTRY_VERIFY(controller.commands().startsWith("W"));
        window->BitBtnStopClick();
    }
    QTRY_COMPARE(controller.commands(), sent);
    QTRY_COMPARE(rounded(window->hamlib->measuredAzimuth()), shown);
    QCOMPARE(window->LabelEtatInterface->text(),
             QStringLiteral("%1 %2  AZ=%3").arg(stop ? "S" : "P " + QByteArray::number(azimuth - offset),
                                                 station->parent.filePath(QStringLiteral("comports/COM3")),
                                                 QString::number(shown)));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestHamlib::netRotctlParksAtExit()
{
    if (QStandardPaths::findExecutable(QStringLiteral("rotctld")).isEmpty())
        QSKIP("Hamlib's rotctld is not installed");
    DummyRotctld rotctld;
    QVERIFY(rotctld.ready);
    settings().HAMLIB_DEVICE = rotctld.address();
    settings().PARKING = Hamlib + 1;
    settings().AZIMUT_PARKING = 30;
    createWindow(2, 100);
    window->UpDownAzi->setPosition(20);
    trackBox();
    QTRY_COMPARE(heard, std::optional(Outcome::Sent));
    // The dummy itself is asked: the window's rounded reading reaches 20 while the dummy, still
    // turning, reports 19.x.
    QTRY_COMPARE_WITH_TIMEOUT(rotctld.azimuth(), 20, 20000);
    QTRY_COMPARE(rounded(window->hamlib->measuredAzimuth()), 20);
    // The exit's parking goes out before the interface closes, and the window waits for it.
    window->close();
    delete window;
    window = nullptr;
    QTRY_COMPARE_WITH_TIMEOUT(rotctld.azimuth(), 30, 20000);
    QVERIFY(station->recorder->messages.isEmpty());
}

// Torvanel's own rotctld server in front of the Hamlib interface: P answers what became of the
// command, p answers where the rotator says it points.
void TestHamlib::rotctldAnswersWhatHamlibDid()
{
    settings().ROTCTLDPORT = freeTcpPort();
    // Nobody listens there: opening fails at once.
    settings().HAMLIB_DEVICE = QStringLiteral("127.0.0.1:%1").arg(freeTcpPort());
    createWindow(2, 100);
    window->MenuServerRotctld->trigger();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, quint16(settings().ROTCTLDPORT));
    QVERIFY(client.waitForConnected(2000));
    const auto ask = [&client](const QByteArray &line, int lines) {
        client.write(line);
        QByteArray reply;
        return QTest::qWaitFor([&] {
                   reply += client.readAll();
                   return reply.count('\n') >= lines;
               }, 15000)
                   ? reply
                   : QByteArray("no answer");
    };
    // Opened at start, the interface has reported its failure once; the command tries again.
    QTRY_COMPARE(station->recorder->messages.size(), 1);
    QCOMPARE(ask("P 20 0\n", 1), QByteArray("RPRT -6\n"));
    QCOMPARE(station->recorder->messages.size(), 2);

    // The network model's address stays in the settings: no device of the dummy's.
    settings().HAMLIB_MODEL = 1;
    QCOMPARE(ask("P 20 0\n", 1), QByteArray("RPRT 0\n"));
    QTRY_VERIFY(window->hamlib->measuredAzimuth());
    QTRY_COMPARE_WITH_TIMEOUT(rounded(window->hamlib->measuredAzimuth()), 20, 20000);
    // Sent to 200, the dummy is still on its way: p says where it is, not where it was sent.
    QCOMPARE(ask("P 200 0\n", 1), QByteArray("RPRT 0\n"));
    const QByteArray position = ask("p\n", 2);
    const double azimuth = position.left(position.indexOf('\n')).toDouble();
    QVERIFY2(azimuth >= 20 && azimuth < 200, position.constData());
    QCOMPARE(station->recorder->messages.size(), 2);
}

void TestHamlib::unansweredControllerIsReportedOnce_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("error");
    QTest::newRow("GS-232B that stops answering its position") << 603 << Outcome::Sent << "timed out";
    QTest::newRow("rotctld that never answers") << 2 << Outcome::Failed << "timed out";
}

void TestHamlib::unansweredControllerIsReportedOnce()
{
    QFETCH(int, model);
    QFETCH(Outcome, outcome);
    QFETCH(QString, error);
    AnsweringGs232b controller(station->line);
    QTcpServer mute;
    QVERIFY(mute.listen(QHostAddress::LocalHost));
    settings().HAMLIB_DEVICE = QStringLiteral("127.0.0.1:%1").arg(mute.serverPort());
    createWindow(model, 100);
    int ticks = 0;
    QTimer ticking;
    connect(&ticking, &QTimer::timeout, this, [&] { ++ticks; });
    ticking.start(10);
    window->UpDownAzi->setPosition(123);
    trackBox();
    if (outcome == Outcome::Sent) {
        QTRY_COMPARE(heard, std::optional(Outcome::Sent));
        QTRY_COMPARE(rounded(window->hamlib->measuredAzimuth()), controller.azimuth);
        controller.answers = false;
    }
    QTRY_COMPARE_WITH_TIMEOUT(station->recorder->messages.size(), 1, 20000);
    // The command that failed heard so before the failure was shown.
    QCOMPARE(heard, std::optional(outcome));
    // A failed reading is no position: the second needle goes. Nor is a failed command's target.
    QVERIFY(!window->hamlib->measuredAzimuth());
    if (outcome == Outcome::Failed)
        QVERIFY(window->knownAzimuth() != 123);
    QVERIFY2(station->recorder->messages.first().text.contains(error), qPrintable(station->recorder->messages.first().text));
    QVERIFY(ticks > 2);
    // The readings, or the next command, fail again: the same failure is not shown twice.
    if (outcome == Outcome::Sent) {
        QTest::qWait(4000);
        QCOMPARE(station->recorder->messages.size(), 1);
    } else {
        window->UpDownAzi->setPosition(124);
        trackBox();
        QTRY_COMPARE_WITH_TIMEOUT(heard, std::optional(Outcome::Failed), 20000);
        QCOMPARE(station->recorder->messages.size(), 2);
    }
}

void TestHamlib::ownRotctldIsRefused_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("otherComputers");
    QTest::newRow("localhost, the README's example") << "localhost" << false;
    // Any address of this computer reaches a server open to other computers.
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    const auto outward = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress &each) {
        return each.protocol() == QAbstractSocket::IPv4Protocol && !each.isLoopback();
    });
    if (outward != addresses.end())
        QTest::newRow("this computer's network address") << outward->toString() << true;
}

// Hamlib's network model pointed at this program's own rotctld server would hand every command
// back to itself: the opening is refused, once at start and again for the next command.
void TestHamlib::ownRotctldIsRefused()
{
    QFETCH(QString, host);
    QFETCH(bool, otherComputers);
    settings().ROTCTLD = true;
    settings().ROTCTLDALL = otherComputers;
    settings().ROTCTLDPORT = freeTcpPort();
    settings().HAMLIB_DEVICE = QStringLiteral("%1:%2").arg(host).arg(settings().ROTCTLDPORT);
    createWindow(2, 50);
    QTRY_COMPARE(station->recorder->messages.size(), 1);
    QVERIFY2(station->recorder->messages.first().text.contains(QStringLiteral("own rotctld server")),
             qPrintable(station->recorder->messages.first().text));
    // A logger's azimuth: its command fails as well, and the display shows it all the same.
    window->MenuServerN1MM->setChecked(true);
    window->engine->setAuto(true);
    window->UDPServerUDPRead("<goazi>123</goazi>");
    window->engine->follow(window->engine->lastRequest(), [this](const TrackResult &result) { heard = result.outcome; });
    QTRY_COMPARE_WITH_TIMEOUT(heard, std::optional(Outcome::Failed), 20000);
    QCOMPARE(station->recorder->messages.size(), 2);
    QCOMPARE(window->LCDAzi->Value(), QStringLiteral("123"));
    QVERIFY(!window->hamlib->isOpen());
    QVERIFY(!window->hamlib->measuredAzimuth());
    QCOMPARE(window->knownAzimuth(), 0);
}

// A model whose range is -180..180 (Hamlib's dummy behind its rotctld, which tells Hamlib's
// network model its range) reaches the azimuths past 180, and reads them back as the operator's.
void TestHamlib::modelRangeAroundNorthReachesEveryAzimuth()
{
    if (QStandardPaths::findExecutable(QStringLiteral("rotctld")).isEmpty())
        QSKIP("Hamlib's rotctld is not installed");
    DummyRotctld rotctld(QStringLiteral("min_az=-180,max_az=180"));
    QVERIFY(rotctld.ready);
    settings().HAMLIB_DEVICE = rotctld.address();
    createWindow(2, 50);
    window->UpDownAzi->setPosition(350);
    trackBox();
    QTRY_COMPARE(heard, std::optional(Outcome::Sent));
    QTRY_COMPARE_WITH_TIMEOUT(rotctld.azimuth(), -10, 20000);
    QTRY_COMPARE(rounded(window->hamlib->measuredAzimuth()), 350);
    QCOMPARE(window->knownAzimuth(), 350);
    QVERIFY(station->recorder->messages.isEmpty());
}

// Hamlib's dummy turning -90..450 behind its rotctld (it starts at 0 and turns 6° a second): the
// short way past north goes into the overlap, the reading says which turn the antenna is on, and
// the next turn starts from there.
void TestHamlib::overlapReadBack()
{
    if (QStandardPaths::findExecutable(QStringLiteral("rotctld")).isEmpty())
        QSKIP("Hamlib's rotctld is not installed");
    DummyRotctld rotctld(QStringLiteral("min_az=-90,max_az=450"));
    QVERIFY(rotctld.ready);
    settings().HAMLIB_DEVICE = rotctld.address();
    settings().AZMIN[Hamlib] = -90;
    settings().AZMAX[Hamlib] = 450;
    createWindow(2, 50);
    for (const auto &[azimuth, position] : {std::pair{350, -10}, {10, 10}, {355, -5}}) {
        window->UpDownAzi->setPosition(azimuth);
        trackBox();
        QTRY_COMPARE(heard, std::optional(Outcome::Sent));
        QTRY_COMPARE_WITH_TIMEOUT(rotctld.azimuth(), position, 20000);
        // The next command counts from the reading, once the dummy is there.
        QTRY_COMPARE(settings().pointedAzimuth(), std::optional(position));
        QCOMPARE(rounded(window->hamlib->measuredAzimuth()), azimuth);
    }
    QVERIFY2(window->windowTitle().endsWith(QString::fromUtf8(" / -5° (overlap)")), qPrintable(window->windowTitle()));
    QVERIFY(station->recorder->messages.isEmpty());
}

// A network model learns its range only when it opens: a travel past it is said once.
void TestHamlib::travelPastTheModelsEndsIsReported()
{
    if (QStandardPaths::findExecutable(QStringLiteral("rotctld")).isEmpty())
        QSKIP("Hamlib's rotctld is not installed");
    DummyRotctld rotctld(QStringLiteral("min_az=-180,max_az=180"));
    QVERIFY(rotctld.ready);
    settings().HAMLIB_DEVICE = rotctld.address();
    settings().AZMAX[Hamlib] = 450;
    createWindow(2, 50);
    QTRY_COMPARE_WITH_TIMEOUT(station->recorder->messages.size(), 1, 20000);
    QVERIFY2(station->recorder->messages[0].text.contains(QString::fromUtf8("turns from -180° to 180° only")),
             qPrintable(station->recorder->messages[0].text));
    // The heading is reached all the same, a turn nearer.
    window->UpDownAzi->setPosition(10);
    trackBox();
    QTRY_COMPARE(heard, std::optional(Outcome::Sent));
    QCOMPARE(station->recorder->messages.size(), 1);
}

// Another interface chosen in the settings dialog on the same port: Hamlib lets the port go at
// once, and its position queries stop.
void TestHamlib::leavingHamlibSilencesItsLine()
{
    AnsweringGs232b controller(station->line);
    settings().PORT_GS232 = 2;
    createWindow(603, 50);
    // Opened at start, the interface reads the position before any command.
    QTRY_COMPARE(rounded(window->hamlib->measuredAzimuth()), controller.azimuth);
    QCOMPARE(openedHere(station->line.path), 2);
    window->FormInit->show();
    window->FormInit->RadioGroupRotor->setItemIndex(GS232);
    QCOMPARE(settings().ANT, int(GS232));
    QVERIFY(!window->hamlib->isOpen());
    // Once Hamlib has closed the port, only the line's own end is open here: no query can follow.
    QTRY_COMPARE(openedHere(station->line.path), 1);
    const qsizetype before = controller.received.size();
    window->UpDownAzi->setPosition(123);
    trackBox();
    QTRY_COMPARE(heard, std::optional(Outcome::Sent));
    QTRY_VERIFY(controller.received.mid(before).contains("W123"));
    QVERIFY(!controller.received.mid(before).contains("C2"));
}

QTEST_MAIN(TestHamlib)
#include "test_hamlib.moc"
