#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QToolButton>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "rotator/tracking_engine.h"
#include "sources/angle_window.h"
#include "sources/locator_window.h"
#include "sources/pst_server.h"
#include "sources/rotctld_server.h"
#include "support/free_ports.h"
#include "support/gs232_station.h"
#include "ui/activity_log.h"
#include "ui/tform1.h"
#include "ui/up_down.h"

// The activity log of the real main window, its window never shown: every kind of source steers a
// GS-232 on a pseudo-terminal, and each request's row ends with what really became of it.
class TestActivity : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everySourceWithItsOutcome();
    void keepsTheLast200();

private:
    // Waits until the line is free, so that the next request goes out at once.
    void settled();
    // The rows without their time, oldest first.
    QStringList rows() const;

    std::unique_ptr<Gs232Station> station;
    TForm1 *window = nullptr;
};

void TestActivity::init()
{
    station = std::make_unique<Gs232Station>();
    Settings &s = settings();
    s.ROTCTLD = true;
    s.ROTCTLDPORT = freeTcpPort();
    s.PSTUDP = true;
    s.PSTUDPPORT = freeUdpPort();
    // The N1MM listener binds base + antenna: a free port, not the default that another test may hold.
    s.N1mmPort = quint16(freeUdpPort() - s.N1mmAntenna);
    s.MYLOCATOR = QStringLiteral("JN18du");
    s.FAVAZ[0] = 45;
    s.PARKING = GS232 + 1;
    s.AZIMUT_PARKING = 90;
    window = new TForm1;
    window->createSmallWindows();
    window->FormActivate();
    window->BitBtnAutoClick();
    settled();
}

void TestActivity::cleanup()
{
    delete window;
    window = nullptr;
    station.reset();
}

void TestActivity::settled()
{
    QTRY_VERIFY(!window->engine->busy());
    station->line.drain();
}

QStringList TestActivity::rows() const
{
    QStringList lines = window->activity->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    std::reverse(lines.begin(), lines.end());
    for (QString &line : lines)
        line = line.section(QLatin1Char('\t'), 1);
    return lines;
}

void TestActivity::everySourceWithItsOutcome()
{
    QTest::keyClicks(window->EditAzimut, QStringLiteral("100"));
    QTest::keyClick(window->EditAzimut, Qt::Key_Return);
    settled();
    window->UpDownAzi->findChildren<QToolButton *>().first()->click();
    settled();
    window->ButtonTrack->click();
    settled();
    window->MenuFav1->trigger();
    settled();
    window->FormAngle->EditAngle->setText(QStringLiteral("120"));
    window->FormAngle->EditAngleKeyDown(Qt::Key_Return);
    settled();
    window->FormLocator->EditLocator->setText(QStringLiteral("JL18du"));
    window->FormLocator->EditLocatorKeyDown(Qt::Key_Return, Qt::NoModifier);
    settled();
    window->park();
    settled();

    // Two peers at once, held as a burst is: the logger's azimuth waits, the PST sender's
    // overtakes it; then a rotctld client's waits and a stop ends it.
    window->MenuServerN1MM->trigger();
    window->engine->hold();
    window->UDPServerUDPRead("<goazi>200</goazi>", false, QHostAddress(QStringLiteral("::ffff:192.168.1.5")));
    QUdpSocket pst;
    pst.writeDatagram("<PST><AZIMUTH>220</AZIMUTH></PST>", QHostAddress::LocalHost, quint16(settings().PSTUDPPORT));
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("220"));
    window->engine->release();
    settled();
    window->engine->hold();
    QTcpSocket rotctl;
    rotctl.connectToHost(QHostAddress::LocalHost, quint16(settings().ROTCTLDPORT));
    QVERIFY(rotctl.waitForConnected(2000));
    rotctl.write("P 230 0\n");
    QTRY_COMPARE(window->EditAzimut->text(), QStringLiteral("230"));
    window->BitBtnStopClick();
    QTRY_VERIFY(rotctl.canReadLine());
    window->engine->release();
    settled();
    settings().ANT = NoInterface;
    window->ButtonTrack->click();

    const QStringList expected = {
        "azimuth box\t100\tsent: W100 COM3",
        "arrows\t101\tsent: W101 COM3",
        "MAN\t101\twithin the step",
        "favourite 1\t45\tsent: W045 COM3",
        "angle window\t120\tsent: W120 COM3",
        // Enter in the angle window sends like MAN once AUTO has sent it: already there.
        "angle window\t120\twithin the step",
        "locator window\t180\tsent: W180 COM3",
        "parking\t90\tsent: W090 COM3",
        "N1MM 192.168.1.5\t200\tsuperseded by a newer azimuth",
        "PST 127.0.0.1\t220\tsent: W220 COM3",
        "rotctld 127.0.0.1\t230\tstopped before it went out",
        "MAN\t230\trefused: no interface selected",
    };
    QCOMPARE(rows(), expected);
    QVERIFY(station->recorder->messages.isEmpty());
}

void TestActivity::keepsTheLast200()
{
    ActivityLog log;
    for (quint64 request = 1; request <= 250; ++request)
        log.add(request, {}, QString::number(request), QTime(12, 0));
    // The oldest are gone: their late outcomes change nothing, the newest's shows.
    log.settle(3, Outcome::Sent, QStringLiteral("W003"));
    log.settle(250, Outcome::Stopped, {});
    QCOMPARE(log.rowCount(), ActivityLog::MaxRows);
    QCOMPARE(log.index(0, ActivityLog::Azimuth).data().toString(), QStringLiteral("250"));
    QCOMPARE(log.index(0, ActivityLog::Result).data().toString(), QStringLiteral("stopped before it went out"));
    QCOMPARE(log.index(ActivityLog::MaxRows - 1, ActivityLog::Azimuth).data().toString(), QStringLiteral("51"));
    log.setLanguage(languages::Language::French);
    QCOMPARE(log.index(0, ActivityLog::Result).data().toString(), QStringLiteral("arrêté avant l'envoi"));
    QCOMPARE(log.index(1, ActivityLog::Result).data().toString(), QStringLiteral("en attente"));
}

QTEST_MAIN(TestActivity)
#include "test_activity.moc"
