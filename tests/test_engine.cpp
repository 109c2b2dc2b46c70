#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/settings.h"
#include "platform/ui_services.h"
#include "ui/tform1.h"
#include "ui/up_down.h"
#include "widgets/lcd99.h"

using platform::Beep;

// The engine driven through the real main window, with a recording driver on GS-232.
class TestEngine : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void manCallsTheDriverEachPress();
    void refusals_data();
    void refusals();
    void notAnIntegerIsReported();
    void arrowsWrap_data();
    void arrowsWrap();
    void heldArrowAccelerates();
    void longPath_data();
    void longPath();
    void autoToggles();
    void autoSendsOnlyWhenActivated();
    void sameAzimuthSendsNothing();
    void lampBlinksAndEnds();
    void stopResetsAndCallsEveryStop();
    void jingle();
    void reentryWaitsForTheFirst();

private:
    TForm1 *window = nullptr;
    platform::ScopedRecordingUi *recorder = nullptr;
    QList<double> sent;
    int stops = 0;
    bool skip = false;
    std::function<void()> duringTrack;
};

void TestEngine::init()
{
    settings() = Settings();
    recorder = new platform::ScopedRecordingUi;
    window = new TForm1;
    sent.clear();
    stops = 0;
    skip = false;
    duringTrack = nullptr;
    window->drivers.add(GS232, {QStringLiteral("GS_Track"), QStringLiteral("GS_Track_stop"),
                                [this](DriverTable::Done done) {
                                    Settings &s = settings();
                                    if (skip) {
                                        s.CommandSkipped = true;
                                        return;
                                    }
                                    sent << double(s.TargetAzimuth);
                                    if (duringTrack)
                                        duringTrack();
                                    done(Outcome::Sent, {});
                                },
                                [this] { ++stops; }, {}});
    settings().ANT = GS232;
    window->FormActivate();
}

void TestEngine::cleanup()
{
    delete window;
    delete recorder;
}

void TestEngine::manCallsTheDriverEachPress()
{
    QTest::mouseClick(window->ButtonTrack, Qt::LeftButton);
    QCOMPARE(sent, QList<double>({0}));
    // Step 1: the unchanged azimuth is the driver's to refuse; the engine calls it again.
    QTest::mouseClick(window->ButtonTrack, Qt::LeftButton);
    QCOMPARE(sent.size(), 2);
    QVERIFY((*recorder)->beeps.isEmpty());
}

void TestEngine::refusals_data()
{
    QTest::addColumn<int>("rotator");
    QTest::addColumn<QString>("text");
    QTest::newRow("no interface") << int(NoInterface) << "10";
    QTest::newRow("not below 360") << int(GS232) << "360.5";
    QTest::newRow("below 0") << int(GS232) << "-0.5";
}

void TestEngine::refusals()
{
    QFETCH(int, rotator);
    QFETCH(QString, text);
    settings().ANT = rotator;
    window->EditAzimut->blockSignals(true);
    window->EditAzimut->setText(text);
    window->EditAzimut->blockSignals(false);
    settings().TargetAzimuth = 77;
    window->ButtonTrackClick();
    QVERIFY(sent.isEmpty());
    QCOMPARE((*recorder)->beeps, QList<Beep>({Beep::Default}));
    QCOMPARE(double(settings().TargetAzimuth), 77.0);
}

void TestEngine::notAnIntegerIsReported()
{
    window->EditAzimut->setText(QStringLiteral("12"));
    QCOMPARE(window->LCDAzi->Value(), QStringLiteral("12"));
    window->EditAzimut->setText(QStringLiteral("1x"));
    QCOMPARE((*recorder)->messages.size(), 1);
    QCOMPARE((*recorder)->messages[0].text, QStringLiteral("'1x' is not a valid integer value"));
    QCOMPARE(window->LCDAzi->Value(), QStringLiteral("12"));
    // MAN with text that is not a number empties the box: no azimuth, nothing more to report.
    window->ButtonTrackClick();
    QVERIFY(window->EditAzimut->text().isEmpty());
    QCOMPARE(window->LCDAzi->Value(), QString());
    QCOMPARE((*recorder)->messages.size(), 1);
    QVERIFY(sent.isEmpty());
    QCOMPARE((*recorder)->beeps, QList<Beep>({Beep::Default}));
}

void TestEngine::arrowsWrap_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("shown");
    QTest::newRow("359 up gives 0") << 359 << +1 << "0";
    QTest::newRow("0 down gives 359") << 0 << -1 << "359";
    QTest::newRow("plain step up") << 41 << +1 << "42";
}

void TestEngine::arrowsWrap()
{
    QFETCH(int, start);
    QFETCH(int, direction);
    QFETCH(QString, shown);
    window->UpDownAzi->setPosition(start);
    auto *arrow = window->UpDownAzi->findChildren<QToolButton *>().at(direction > 0 ? 0 : 1);
    QTest::mouseClick(arrow, Qt::LeftButton);
    QCOMPARE(window->EditAzimut->text(), shown);
    QCOMPARE(window->LCDAzi->Value(), shown);
}

void TestEngine::heldArrowAccelerates()
{
    window->UpDownAzi->setPosition(3);
    window->UpDownAziMouseDown();
    QStringList seen;
    for (int i = 0; i < 9; ++i) {
        window->UpDownAzi->setPosition(window->UpDownAzi->position() + window->UpDownAzi->increment());
        seen << window->EditAzimut->text();
    }
    QCOMPARE(seen, QStringList({"4", "5", "6", "7", "8", "9", "10", "20", "30"}));
    window->UpDownAziMouseUp();
    QCOMPARE(window->UpDownAzi->increment(), 1);
    QVERIFY(!settings().UpDownHeld);
}

void TestEngine::longPath_data()
{
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("after");
    QTest::newRow("30 goes to 210") << 30 << "210";
    QTest::newRow("180 goes to 0") << 180 << "0";
    QTest::newRow("300 goes to 120") << 300 << "120";
}

void TestEngine::longPath()
{
    QFETCH(int, shown);
    QFETCH(QString, after);
    window->UpDownAzi->setPosition(shown);
    QTest::mouseClick(window->BitBtnLP, Qt::LeftButton);
    QCOMPARE(window->EditAzimut->text(), after);
    QVERIFY(sent.isEmpty());
}

void TestEngine::autoToggles()
{
    const QRect off = window->BitBtnAuto->geometry();
    QCOMPARE(window->BitBtnAuto->text(), QStringLiteral("AUTO OFF"));
    QTest::mouseClick(window->BitBtnAuto, Qt::LeftButton);
    QVERIFY(window->autoOn());
    QCOMPARE(window->BitBtnAuto->text(), QStringLiteral("AUTO   ON"));
    QCOMPARE(window->BitBtnAuto->geometry(), off.adjusted(2, 2, 2, 0));
    QTest::mouseClick(window->BitBtnAuto, Qt::LeftButton);
    QVERIFY(!window->autoOn());
    QCOMPARE(window->BitBtnAuto->text(), QStringLiteral("AUTO  OFF"));
    QCOMPARE(window->BitBtnAuto->geometry(), off);
    // The hidden item only ever turns AUTO on.
    window->MenuAuto->trigger();
    window->MenuAuto->trigger();
    QVERIFY(window->autoOn());
}

void TestEngine::autoSendsOnlyWhenActivated()
{
    window->BitBtnAutoClick();
    QVERIFY(sent.isEmpty());
    settings().Activated = false;
    window->UpDownAzi->setPosition(10);
    QVERIFY(sent.isEmpty());
    settings().Activated = true;
    window->UpDownAzi->setPosition(20);
    QCOMPARE(sent, QList<double>({20}));
}

void TestEngine::sameAzimuthSendsNothing()
{
    window->BitBtnAutoClick();
    window->UpDownAzi->setPosition(123);
    window->UpDownAzi->setPosition(123);
    QCOMPARE(sent, QList<double>({123}));
}

void TestEngine::lampBlinksAndEnds()
{
    QVERIFY(window->ImageLedOn->isHidden());
    window->ButtonTrackClick();
    QVERIFY(!window->ImageLedOn->isHidden());
    QVERIFY(window->ImageLEDOff->isHidden());
    QVERIFY(window->TimerBlink->isActive());
    window->TimerBlinkTimer();
    QVERIFY(window->ImageLedOn->isHidden());
    window->TimerBlinkTimer();
    QVERIFY(!window->ImageLedOn->isHidden());
    window->TimerTrackOKTimer();
    QVERIFY(window->ImageLedOn->isHidden());
    QVERIFY(!window->TimerBlink->isActive());
    QVERIFY(!window->TimerTrackOK->isActive());
    skip = true;
    window->ButtonTrackClick();
    QVERIFY(window->ImageLedOn->isHidden());
    QVERIFY(!settings().CommandSkipped);
}

void TestEngine::stopResetsAndCallsEveryStop()
{
    window->ButtonTrackClick();
    QTest::mouseClick(window->BitBtnStop, Qt::LeftButton);
    QCOMPARE(stops, 1);
    QCOMPARE(double(settings().LastAzimuth), -10.0);
    QVERIFY(window->ImageLedOn->isHidden());
    QVERIFY(!window->TimerBlink->isActive());
    window->MenuStop->trigger();
    QCOMPARE(stops, 2);
}

void TestEngine::jingle()
{
    settings().JINGLE = true;
    window->ButtonTrackClick();
    skip = true;
    window->ButtonTrackClick();
    QCOMPARE((*recorder)->beeps, QList<Beep>({Beep::Information}));
}

void TestEngine::reentryWaitsForTheFirst()
{
    window->BitBtnAutoClick();
    int depth = 0, deepest = 0;
    duringTrack = [&] {
        deepest = std::max(deepest, ++depth);
        if (sent.size() == 1) {
            window->UpDownAzi->setPosition(50);
            window->UpDownAzi->setPosition(60);
        }
        --depth;
    };
    window->UpDownAzi->setPosition(40);
    QCOMPARE(deepest, 1);
    // The requests made meanwhile collapse into one, with the latest azimuth.
    QCOMPARE(sent, QList<double>({40, 60}));
}

QTEST_MAIN(TestEngine)
#include "test_engine.moc"
