#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <utility>

#include "app/configuration.h"
#include "app/settings.h"
#include "platform/ui_services.h"
#include "sources/rotctld_server.h"
#include "support/free_ports.h"
#include "support/gs232_station.h"
#include "ui/main_window_configuration.h"
#include "ui/settings_dialog.h"
#include "ui/tform1.h"
#include "ui/up_down.h"

namespace {

// 127.0.0.2 stands for another computer: a loopback-only listener does not take it.
bool accepts(quint16 port, const char *address = "127.0.0.1")
{
    QTcpSocket client;
    client.connectToHost(QHostAddress(QLatin1String(address)), port);
    return client.waitForConnected(2000);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The rotctld server through the real main window: Hamlib's own client over loopback, the
// commands read from a GS-232 pseudo-terminal, the menu item, the dialog and Torvanel.ini.
class TestRotctldWiring : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void hamlibClient_data();
    void hamlibClient();
    void overlapTravel();
    void setPositionAnswersWhatHappened_data();
    void setPositionAnswersWhatHappened();
    void stopWinsAndEveryClientHearsTheTruth();
    void vanishedLineIsAnsweredWithoutAnyoneAtTheBox();
    void menuItem();
    void portTakenIsReportedAndRetried();
    void dialogMovesTheListener();
    void dialogRefusesPort_data();
    void dialogRefusesPort();
    void configurationFile();

private:
    // A window with GS-232 on the line, AUTO on, activated, showing 77.
    void createWindow();
    // Runs Hamlib's rotctl with the commands against the window's server; its standard output.
    QByteArray rotctl(const QStringList &commands);

    std::unique_ptr<Gs232Station> station;
    TForm1 *window = nullptr;
    quint16 port = 0;
};

void TestRotctldWiring::init()
{
    station = std::make_unique<Gs232Station>();
    port = freeTcpPort();
    settings().ROTCTLDPORT = port;
}

void TestRotctldWiring::cleanup()
{
    delete window;
    window = nullptr;
    station.reset();
}

void TestRotctldWiring::createWindow()
{
    window = new TForm1;
    window->FormActivate();
    window->BitBtnAutoClick();
    window->UpDownAzi->setPosition(77);
    QCOMPARE(station->line.read(5), QByteArray("W077\r"));
}

QByteArray TestRotctldWiring::rotctl(const QStringList &commands)
{
    QProcess client;
    client.start(QStringLiteral("rotctl"),
                 QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                             QStringLiteral("127.0.0.1:%1").arg(port)}
                     + commands);
    // The server answers on this thread: the client is waited for with the event loop running.
    if (!client.waitForStarted() || !QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 20000))
        client.kill();
    return client.readAllStandardOutput();
}

void TestRotctldWiring::hamlibClient_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("parking");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("printed");
    // The requests the engine is given: a second one for the same azimuth may go out again.
    QTest::addColumn<int>("requests");
    const QStringList set = {"P", "123", "45"};
    QTest::newRow("set position") << "77" << -1 << set << QByteArray("W123\r") << "123" << QByteArray() << 1;
    QTest::newRow("half degree to even") << "77" << -1 << QStringList{"P", "44.5", "0"} << QByteArray("W044\r")
                                         << "44" << QByteArray() << 1;
    QTest::newRow("negative from north backwards") << "77" << -1 << QStringList{"P", "-90", "0"}
                                                   << QByteArray("W270\r") << "270" << QByteArray() << 1;
    QTest::newRow("beyond 360 refused") << "77" << -1 << QStringList{"P", "400", "0"} << QByteArray() << "77"
                                        << QByteArray() << 0;
    QTest::newRow("stop") << "77" << -1 << QStringList{"S"} << QByteArray("S\r") << "77" << QByteArray() << 0;
    QTest::newRow("position is where the antenna was sent, not the box")
        << "123" << -1 << QStringList{"p"} << QByteArray() << "123" << QByteArray("77.00\n") << 0;
    QTest::newRow("move left to the end stop, then stop") << "77" << -1 << QStringList{"M", "8", "0", "S"}
                                                          << QByteArray("W000\rS\r") << "0" << QByteArray() << 1;
    QTest::newRow("park goes to the parking azimuth") << "77" << 200 << QStringList{"K"} << QByteArray("W200\r")
                                                      << "200" << QByteArray() << 1;
    QTest::newRow("park without parking moves nothing") << "77" << -1 << QStringList{"K"} << QByteArray() << "77"
                                                        << QByteArray() << 0;
}

void TestRotctldWiring::hamlibClient()
{
    QFETCH(QString, box);
    QFETCH(int, parking);
    QFETCH(QStringList, commands);
    QFETCH(QByteArray, sent);
    QFETCH(QString, shown);
    QFETCH(QByteArray, printed);
    QFETCH(int, requests);
    if (QStandardPaths::findExecutable(QStringLiteral("rotctl")).isEmpty())
        QSKIP("Hamlib's rotctl is not installed");
    if (parking >= 0) {
        settings().PARKING = GS232 + 1;
        settings().AZIMUT_PARKING = parking;
    }
    createWindow();
    window->MenuServerRotctld->trigger();
    QVERIFY(window->rotctldServer->isListening());
    // Set by the program: the box holds what it is given, whether or not it is a number.
    {
        const QSignalBlocker quiet(window->EditAzimut);
        window->EditAzimut->setText(box);
    }
    const quint64 before = window->engine->lastRequest();
    const QByteArray output = rotctl(commands);
    QCOMPARE(window->engine->lastRequest() - before, quint64(requests));
    QCOMPARE(station->line.drain(), sent);
    QCOMPARE(window->EditAzimut->text(), shown);
    QVERIFY2(output.startsWith(printed), output.constData());
    QVERIFY(station->recorder->messages.isEmpty());
}

// A GS-232 that turns 0..450: Hamlib's client is told the whole travel, a heading takes the short
// way past north, a position past north goes there as it is (a parking too), and Unwind turns back
// to the middle.
void TestRotctldWiring::overlapTravel()
{
    if (QStandardPaths::findExecutable(QStringLiteral("rotctl")).isEmpty())
        QSKIP("Hamlib's rotctl is not installed");
    settings().AZMAX[GS232] = 450;
    createWindow();
    window->MenuServerRotctld->trigger();
    QVERIFY(window->MenuUnwind->isVisible());
    QCOMPARE(rotctl({"P", "350", "0", "P", "10", "0", "p"}), QByteArray("370.00\n0.00\n"));
    QCOMPARE(station->line.drain(), QByteArray("W350\rW370\r"));
    QVERIFY2(window->windowTitle().endsWith(QString::fromUtf8(" / 370° (overlap)")), qPrintable(window->windowTitle()));
    QCOMPARE(window->EditAzimut->text(), QStringLiteral("10"));
    // Hamlib's client itself refuses what lies past the travel it was told.
    rotctl({"P", "420", "0", "P", "460", "0", "M", "16", "0"});
    QCOMPARE(station->line.drain(), QByteArray("W420\rW450\r"));
    window->MenuUnwind->trigger();
    QCOMPARE(station->line.read(5), QByteArray("W225\r"));
    QVERIFY(!window->windowTitle().contains(QLatin1String("overlap")));
    // A parking past 359 is that position of the travel.
    settings().PARKING = GS232 + 1;
    settings().AZIMUT_PARKING = 400;
    rotctl({"K"});
    QCOMPARE(station->line.drain(), QByteArray("W400\r"));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestRotctldWiring::setPositionAnswersWhatHappened_data()
{
    QTest::addColumn<bool>("autoOn");
    QTest::addColumn<bool>("unplugAfterStop");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answers");
    QTest::newRow("moves with AUTO off") << false << false << QByteArray("P 123 0\n") << QByteArray("W123\r")
                                         << QByteArray("RPRT 0\n");
    QTest::newRow("same azimuth again after a stop") << true << false << QByteArray("S\nP 77 0\n")
                                                     << QByteArray("S\rW077\r") << QByteArray("RPRT 0\nRPRT 0\n");
    QTest::newRow("within the step, already there") << true << false << QByteArray("P 77 0\n") << QByteArray()
                                                    << QByteArray("RPRT 0\n");
    QTest::newRow("no device behind the port") << true << true << QByteArray("S\nP 123 0\n") << QByteArray("S\r")
                                               << QByteArray("RPRT 0\nRPRT -6\n");
    QTest::newRow("moving right until the stop") << true << false << QByteArray("M 16 0 s\nS s\n")
                                                 << QByteArray("W359\rS\r")
                                                 << QByteArray("RPRT 0\nMOVING MOVING_AZ MOVING_RIGHT \nRPRT 0\n\n");
}

void TestRotctldWiring::setPositionAnswersWhatHappened()
{
    QFETCH(bool, autoOn);
    QFETCH(bool, unplugAfterStop);
    QFETCH(QByteArray, lines);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answers);
    createWindow();
    if (!autoOn)
        window->BitBtnAutoClick();
    window->MenuServerRotctld->trigger();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(client.waitForConnected(2000));
    if (unplugAfterStop) {
        client.write("S\n");
        QTRY_VERIFY(client.bytesAvailable() > 0);
        lines.remove(0, 2);
        QVERIFY(QFile::remove(station->parent.filePath(QStringLiteral("comports/COM3"))));
    }
    client.write(lines);
    QByteArray got = unplugAfterStop ? client.readAll() : QByteArray();
    QTRY_COMPARE(got += client.readAll(), answers);
    QCOMPARE(station->line.drain(), sent);
}

// Clients A, B and D ask for azimuths while the line rests after A's command, then C stops: B
// and D wait, D overtakes B, the stop overtakes D. However the machine's load spreads them out,
// nothing asked before the stop reaches the line after it, and each P is answered 0 exactly when
// its command went out, else -9.
void TestRotctldWiring::stopWinsAndEveryClientHearsTheTruth()
{
    createWindow();
    window->MenuServerRotctld->trigger();
    QTRY_VERIFY(!window->engine->busy());
    QTcpSocket a, b, c, d;
    for (QTcpSocket *client : {&a, &b, &c, &d}) {
        client->connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client->waitForConnected(2000));
    }
    a.write("P 10 0\n");
    QTRY_VERIFY(a.canReadLine());
    QCOMPARE(a.readLine(), QByteArray("RPRT 0\n"));
    b.write("P 20 0\n");
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("20"));
    d.write("P 30 0\n");
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("30"));
    c.write("S\n");
    QTRY_VERIFY(c.canReadLine());
    QCOMPARE(c.readLine(), QByteArray("RPRT 0\n"));
    const QByteArray line = station->line.drain(300);
    QVERIFY2(line.startsWith("W010\r") && line.endsWith("S\r"), line.constData());
    for (auto [client, command] : {std::pair{&b, "W020\r"}, {&d, "W030\r"}}) {
        QTRY_VERIFY(client->canReadLine());
        QCOMPARE(client->readLine(), QByteArray(line.contains(command) ? "RPRT 0\n" : "RPRT -9\n"));
    }
}

// The adapter is pulled while the port is open: the client is answered at once, with the desktop's
// real boxes and nobody to press OK.
void TestRotctldWiring::vanishedLineIsAnsweredWithoutAnyoneAtTheBox()
{
    createWindow();
    window->MenuServerRotctld->trigger();
    QTRY_VERIFY(!window->engine->busy());
    ::close(station->line.master);
    station->line.master = -1;
    platform::setUi(nullptr);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(client.waitForConnected(2000));
    client.write("P 123 0\nP 124 0\n");
    QTRY_COMPARE(client.bytesAvailable(), qint64(16));
    QCOMPARE(client.readAll(), QByteArray("RPRT -6\nRPRT -6\n"));
    // One box for the streak, left open.
    const auto boxes = [] {
        int open = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            open += qobject_cast<QMessageBox *>(widget) && widget->isVisible();
        return open;
    };
    QCOMPARE(boxes(), 1);
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox *>(widget))
            widget->close();
    }
    platform::setUi(&*station->recorder);
}

void TestRotctldWiring::menuItem()
{
    createWindow();
    QAction *item = window->MenuServerRotctld;
    const QString number = QString::number(port);
    QVERIFY(item->isCheckable());
    QVERIFY(!item->actionGroup());
    QVERIFY(!item->isChecked());
    QVERIFY(!window->rotctldServer->isListening());
    QCOMPARE(item->text(), QStringLiteral("rotctld server (%1)").arg(number));

    item->trigger();
    QVERIFY(item->isChecked());
    QVERIFY(settings().ROTCTLD);
    QVERIFY(accepts(port));
    QVERIFY(!accepts(port, "127.0.0.2"));
    // Independent of the azimuth servers.
    window->menuServerBeamDX->trigger();
    QVERIFY(item->isChecked());
    QVERIFY(window->menuServerBeamDX->isChecked());
    window->MenuFrancaisClick();
    QCOMPARE(item->text(), QStringLiteral("Serveur rotctld (%1)").arg(number));
    window->MenuEnglishClick();
    QCOMPARE(item->text(), QStringLiteral("rotctld server (%1)").arg(number));

    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(!settings().ROTCTLD);
    QVERIFY(!accepts(port));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestRotctldWiring::portTakenIsReportedAndRetried()
{
    createWindow();
    auto holder = std::make_unique<QTcpServer>();
    QVERIFY(holder->listen(QHostAddress::LocalHost, port));
    window->MenuServerRotctld->trigger();
    QCOMPARE(station->recorder->messages.size(), 1);
    QCOMPARE(station->recorder->messages[0].kind, platform::MessageKind::Error);
    QVERIFY2(station->recorder->messages[0].text.contains(QString::number(port)), qPrintable(station->recorder->messages[0].text));
    QVERIFY(!window->MenuServerRotctld->isChecked());
    QVERIFY(!window->rotctldServer->isListening());
    QVERIFY(!settings().ROTCTLD);

    holder.reset();
    window->MenuServerRotctld->trigger();
    QVERIFY(window->MenuServerRotctld->isChecked());
    QVERIFY(accepts(port));
    QCOMPARE(station->recorder->messages.size(), 1);

    // Moved by the dialog to a port that is taken: off, and its clients let go.
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(client.waitForConnected(2000));
    QTRY_COMPARE(window->rotctldServer->connectionCount(), 1);
    holder = std::make_unique<QTcpServer>();
    QVERIFY(holder->listen(QHostAddress::LocalHost, 0));
    settings().ROTCTLDPORT = holder->serverPort();
    window->FormInit->FormShow();
    QVERIFY(window->FormInit->FormClose());
    QCOMPARE(station->recorder->messages.size(), 2);
    QVERIFY(station->recorder->messages[1].text.contains(QString::number(holder->serverPort())));
    QVERIFY(!window->MenuServerRotctld->isChecked());
    QVERIFY(!settings().ROTCTLD);
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
}

void TestRotctldWiring::dialogMovesTheListener()
{
    createWindow();
    window->MenuServerRotctld->trigger();
    window->FormInit->FormShow();
    QCOMPARE(window->FormInit->EditPortRotctld->text(), QString::number(port));
    QVERIFY(!window->FormInit->CheckBoxRotctldAll->isChecked());
    const quint16 old = port;
    QTcpSocket earlier;
    earlier.connectToHost(QHostAddress::LocalHost, old);
    QVERIFY(earlier.waitForConnected(2000));
    QTRY_COMPARE(window->rotctldServer->connectionCount(), 1);
    port = freeTcpPort();
    window->FormInit->EditPortRotctld->setText(QString::number(port));
    QVERIFY(window->FormInit->FormClose());
    QTRY_COMPARE(earlier.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(settings().ROTCTLDPORT, int(port));
    QVERIFY(accepts(port));
    QVERIFY(!accepts(old));
    QCOMPARE(window->MenuServerRotctld->text(), QStringLiteral("rotctld server (%1)").arg(port));

    // Other computers allowed: the same port, now on every address.
    window->FormInit->FormShow();
    window->FormInit->CheckBoxRotctldAll->setChecked(true);
    QVERIFY(window->FormInit->FormClose());
    QVERIFY(settings().ROTCTLDALL);
    QVERIFY(window->rotctldServer->allowsOtherComputers());
    QVERIFY(accepts(port, "127.0.0.2"));

    // Off, a new port only changes the caption.
    window->MenuServerRotctld->trigger();
    window->FormInit->FormShow();
    window->FormInit->EditPortRotctld->setText(QStringLiteral("4999"));
    QVERIFY(window->FormInit->FormClose());
    QVERIFY(!window->rotctldServer->isListening());
    QCOMPARE(window->MenuServerRotctld->text(), QStringLiteral("rotctld server (4999)"));
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestRotctldWiring::dialogRefusesPort_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("message");
    const QString english = QStringLiteral("The rotctld port must be a whole number from 1 to 65535");
    const QString french = QString::fromUtf8("Le port rotctld doit être un nombre entier de 1 à 65535");
    QTest::newRow("0") << "0" << false << english;
    QTest::newRow("65536") << "65536" << false << english;
    QTest::newRow("letters") << "45x" << false << english;
    QTest::newRow("empty") << "" << false << english;
    QTest::newRow("French") << "-1" << true << french;
}

void TestRotctldWiring::dialogRefusesPort()
{
    QFETCH(QString, typed);
    QFETCH(bool, french);
    QFETCH(QString, message);
    createWindow();
    window->MenuServerRotctld->trigger();
    if (french)
        window->MenuFrancaisClick();
    window->FormInit->FormShow();
    window->FormInit->EditPortRotctld->setText(typed);
    QVERIFY(!window->FormInit->FormClose());
    QCOMPARE(station->recorder->messages.size(), 1);
    QCOMPARE(station->recorder->messages[0].text, message);
    QCOMPARE(settings().ROTCTLDPORT, int(port));
    QVERIFY(accepts(port));
}

void TestRotctldWiring::configurationFile()
{
    Settings &s = settings();
    s.ExeDir = station->parent.path();
    s.ConfigPath = station->parent.path() + QStringLiteral("/Torvanel.ini");
    s.BackupPath = station->parent.path() + QStringLiteral("/Torvanel.~in");
    s.ConfigExisted = true;
    QFile file(s.ConfigPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("LANGUAGE=FRENCH\r\nANT=GS232\r\nPORT_GS232=3\r\nROTCTLD=1\r\nROTCTLDPORT=%1\r\nROTCTLDALL=1\r\n")
                   .arg(port)
                   .toLatin1());
    file.close();

    window = new TForm1;
    // Turned on at the first activation, not while the window is created.
    QVERIFY(!window->rotctldServer->isListening());
    window->FormActivate();
    QVERIFY(window->MenuServerRotctld->isChecked());
    QCOMPARE(window->rotctldServer->port(), port);
    QCOMPARE(window->MenuServerRotctld->text(), QStringLiteral("Serveur rotctld (%1)").arg(port));
    QVERIFY(accepts(port, "127.0.0.2"));

    // Closing stops the server and keeps it on in the file.
    window->close();
    QVERIFY(!window->rotctldServer->isListening());
    const QByteArray saved = fileBytes(s.ConfigPath);
    QVERIFY2(saved.contains(QStringLiteral("FAV6TXT=Fav.6\r\nROTCTLD=1\r\nROTCTLDPORT=%1\r\nROTCTLDALL=1\r\n")
                                .arg(port)
                                .toLatin1()),
             saved.constData());

    // Turned off, only the port is kept.
    window->MenuServerRotctld->trigger();
    QVERIFY(!window->MenuServerRotctld->isChecked());
    s.ROTCTLDALL = false;
    const QByteArray text = configuration::configurationText(s, *window->configurationTarget, window->storedChoices);
    QVERIFY(text.contains(QStringLiteral("FAV6TXT=Fav.6\r\nROTCTLDPORT=%1\r\nWLLEFT=").arg(port).toLatin1()));
    QVERIFY(station->recorder->messages.isEmpty());
}

QTEST_MAIN(TestRotctldWiring)
#include "test_rotctld_wiring.moc"
