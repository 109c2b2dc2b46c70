// The tracking engine's handlers of the main window.
#include "ui/tform1.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTime>
#include <QTimer>

#include <utility>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/ui_services.h"
#include "platform/wait.h"
#include "rotator/tracking_engine.h"
#include "sources/angle_window.h"
#include "ui/up_down.h"
#include "widgets/lcd99.h"

namespace {

const QString AutoOffCaption = QStringLiteral("AUTO  OFF");
const QString AutoOnCaption = QStringLiteral("AUTO   ON");

// A timer that is already running keeps its phase.
void enable(QTimer *timer)
{
    if (!timer->isActive())
        timer->start();
}

int integerValue(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw TorvanelError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

} // namespace

void TForm1::ButtonTrackClick()
{
    // A typed azimuth still waiting for its pause goes out now.
    typingPause->stop();
    trackBoxAzimuth();
    // The next azimuth typed replaces this one.
    EditAzimut->selectAll();
}

void TForm1::trackBoxAzimuth(TrackingEngine::Reply reply)
{
    // Once a close is requested only the exit's parking moves the antenna.
    if ((closeRequested && !parkingAtExit) || EditAzimut->text().isEmpty()) {
        if (reply)
            reply({Outcome::Refused, {}});
        return;
    }
    logRequest(engine->track(EditAzimut->text(), std::move(reply), travelWanted));
}

void TForm1::logRequest(quint64 request)
{
    activity->add(request, activitySource, EditAzimut->text(), QTime::currentTime());
    engine->follow(request, [this, request](const TrackResult &result) {
        QString detail;
        if (result.outcome == Outcome::Sent)
            detail = lastCommand.simplified(); // without the line end the controller needs
        else if (result.outcome == Outcome::Refused)
            detail = languages::refusal(language(), result.unreadable  ? languages::Refusal::NotANumber
                                                    : settings().ANT == NoInterface ? languages::Refusal::NoInterface
                                                                                    : languages::Refusal::OutOfRange);
        else
            detail = result.failure;
        activity->settle(request, result.outcome, detail);
    });
}

void TForm1::fromSource(const ActivitySource &source, const std::function<void()> &action)
{
    const QScopedValueRollback from(activitySource, source);
    action();
}

void TForm1::turnTo(int azimuth, TrackingEngine::Reply reply)
{
    // Shown in the box as for any source; when that sent nothing (AUTO off, the same azimuth),
    // the command goes out as MAN sends it.
    const quint64 before = engine->lastRequest();
    UpDownAzi->setPosition(azimuth);
    if (engine->lastRequest() == before)
        trackBoxAzimuth(std::move(reply));
    else if (reply)
        engine->follow(engine->lastRequest(), std::move(reply));
}

void TForm1::showTrackResult(const TrackResult &result)
{
    Settings &s = settings();
    switch (result.outcome) {
    case Outcome::Refused:
        if (result.unreadable)
            EditAzimut->clear();
        platform::ui().beep(platform::Beep::Default);
        return;
    case Outcome::Failed:
        // Shown without waiting for OK: every source has had its answer already.
        platform::ui().notify(platform::MessageKind::Error, result.failure);
        return;
    case Outcome::Sent:
        enable(TimerBlink);
        enable(TimerTrackOK);
        showLamp(true);
        // The rotator is on its way to another turn of its travel, perhaps.
        titre();
        drawNeedle();
        if (s.JINGLE)
            platform::ui().beep(platform::Beep::Information);
        break;
    case Outcome::Skipped:
    case Outcome::Unreachable:
    case Outcome::Superseded:
    case Outcome::Stopped:
    case Outcome::Dropped:
        break;
    }
    // A window the operator opened while the command went out keeps the keyboard.
    focusAngleWindow();
}

void TForm1::EditAzimutChange()
{
    Settings &s = settings();
    const bool typed = std::exchange(boxTyped, false);
    // An emptied box is no azimuth: nothing to show, nothing to send.
    if (EditAzimut->text().isEmpty()) {
        typingPause->stop();
        LCDAzi->setValue(QString());
        drawNeedle();
        return;
    }
    const int azimuth = integerValue(EditAzimut->text());
    if (azimuth > 359)
        UpDownAzi->setPosition(0);
    else if (azimuth < 0)
        UpDownAzi->setPosition(359);
    if (s.UpDownHeld && UpDownAzi->position() % 10 == 0)
        UpDownAzi->setIncrement(10);
    // What the operator types next must not be overwritten by this azimuth's echo, so the
    // angle window hears of it first. Then the command goes out; the display and the dial follow.
    echoToAngleWindow();
    if (typed && !s.TestRequest) {
        // Typing 120 must not send 1 and 12 on the way: in AUTO mode the azimuth goes out once
        // the operator presses Enter or pauses. The keyboard stays where the operator types.
        if (autoOn())
            typingPause->start();
    } else {
        typingPause->stop();
        focusAngleWindow();
        if (autoOn() || s.TestRequest) {
            const bool test = std::exchange(s.TestRequest, false);
            if (test) {
                LCDAzi->setValue(EditAzimut->text());
                UpDownAzi->setPosition(integerValue(LCDAzi->Value()));
                cadran();
            }
            if (s.Activated)
                fromSource(test ? ActivitySource{ActivitySource::SettingsTest, {}} : activitySource,
                           [this] { ButtonTrackClick(); });
        }
        EditAzimut->selectAll();
    }
    LCDAzi->setValue(EditAzimut->text());
    drawNeedle();
}

void TForm1::sendTypedAzimuth()
{
    if (autoOn() && settings().Activated)
        ButtonTrackClick();
}

void TForm1::Stop_Track()
{
    engine->stop();
    typingPause->stop();
    rotctldMoving.reset();
    TimerBlink->stop();
    TimerTrackOK->stop();
    showLamp(false);
    settings().resetLastAzimuth();
}

bool TForm1::autoOn() const
{
    return engine->autoOn();
}

void TForm1::BitBtnAutoClick()
{
    engine->setAuto(!autoOn());
    if (!settings().Starting)
        focusAngleWindow();
}

void TForm1::showAutoMode(bool on)
{
    const Settings &s = settings();
    // The button sinks in and its caption turns red while AUTO is on.
    QPalette palette = BitBtnAuto->palette();
    palette.setColor(QPalette::ButtonText, on ? QColor(255, 0, 0) : QColor(0, 0, 0));
    BitBtnAuto->setPalette(palette);
    BitBtnAuto->setStyleSheet(on ? QStringLiteral("padding: 0px; color: rgb(255, 0, 0);")
                                 : QStringLiteral("padding: 0px; color: black;"));
    BitBtnAuto->setText(on ? AutoOnCaption : AutoOffCaption);
    const int shift = on ? 2 : 0;
    BitBtnAuto->setGeometry(s.AutoButtonLeft + shift, s.AutoButtonTop + shift, BitBtnAuto->width(),
                            s.AutoButtonHeight - shift);
}

void TForm1::BitBtnLPClick()
{
    bool ok = false;
    const int shown = LCDAzi->Value().toInt(&ok);
    if (!ok)
        return;
    UpDownAzi->setPosition(shown < 180 ? shown + 180 : shown - 180);
    cadran();
}

void TForm1::BitBtnStopClick()
{
    Stop_Track();
    focusAngleWindow();
}

void TForm1::UpDownAziMouseDown()
{
    settings().UpDownHeld = true;
    UpDownAzi->setIncrement(1);
    cadran();
}

void TForm1::UpDownAziMouseUp()
{
    settings().UpDownHeld = false;
    UpDownAzi->setIncrement(1);
    cadran();
}

void TForm1::TimerBlinkTimer()
{
    showLamp(!ImageLEDOff->isHidden());
}

void TForm1::TimerTrackOKTimer()
{
    TimerBlink->stop();
    TimerTrackOK->stop();
    showLamp(false);
}

void TForm1::showLamp(bool on)
{
    ImageLedOn->setVisible(on);
    ImageLEDOff->setVisible(!on);
}

void TForm1::MenuAutoClick()
{
    if (!autoOn())
        BitBtnAuto->click();
}

void TForm1::MenuStopClick()
{
    BitBtnStop->click();
}

void TForm1::MenuLPClick()
{
    BitBtnLP->click();
    focusAngleWindow();
}

void TForm1::wait(int ms)
{
    platform::wait(ms);
}

void TForm1::settleLines()
{
    constexpr int BoundMs = 3000;
    QElapsedTimer clock;
    clock.start();
    while (engine->busy() && clock.elapsed() < BoundMs && !skipRotatorAtExit)
        wait(5);
}
