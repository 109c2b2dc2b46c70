// The tracking engine's handlers of the main window.
#include "ui/tform1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/ui_services.h"
#include "platform/wait.h"
#include "rotator/tracking.h"
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
    if (closeRequested && !parkingAtExit)
        return;
    // A request that arrives while a driver waits after its command is not interleaved with
    // it: it runs once the first is done, with the azimuth box as it is then.
    if (trackInProgress) {
        trackRequestedAgain = true;
        return;
    }
    const QScopedValueRollback inTrack(trackInProgress, true);
    do {
        trackRequestedAgain = false;
        sendAzimuth();
    } while (trackRequestedAgain && !(closeRequested && !parkingAtExit));
}

void TForm1::sendAzimuth()
{
    Settings &s = settings();
    if (EditAzimut->text().isEmpty())
        return;
    if (!tracking::parseAzimuth(EditAzimut->text(), &s.EnteredAzimuth)) {
        EditAzimut->clear();
        s.EnteredAzimuth = -1;
    }
    if (s.ANT == NoInterface || s.EnteredAzimuth < 0 || s.EnteredAzimuth >= 360) {
        platform::ui().beep(platform::Beep::Default);
        return;
    }
    s.TargetAzimuth = s.EnteredAzimuth;
    if (!drivers.track(s.ANT)) {
        // The interface's driver is not part of this program yet: nothing goes out.
        s.CommandSkipped = true;
        platform::ui().beep(platform::Beep::Default);
    }
    if (s.CommandSkipped) {
        s.CommandSkipped = false;
    } else {
        enable(TimerBlink);
        enable(TimerTrackOK);
        showLamp(true);
        if (s.JINGLE)
            platform::ui().beep(platform::Beep::Information);
    }
    focusAngleWindow();
}

void TForm1::EditAzimutChange()
{
    Settings &s = settings();
    const int azimuth = integerValue(EditAzimut->text());
    if (azimuth > 359)
        UpDownAzi->setPosition(0);
    else if (azimuth < 0)
        UpDownAzi->setPosition(359);
    LCDAzi->setValue(EditAzimut->text());
    if (s.UpDownHeld && UpDownAzi->position() % 10 == 0)
        UpDownAzi->setIncrement(10);
    cadran();
    focusAngleWindow();
    if (autoOn() || s.TestRequest) {
        if (s.TestRequest) {
            s.TestRequest = false;
            LCDAzi->setValue(EditAzimut->text());
            UpDownAzi->setPosition(integerValue(LCDAzi->Value()));
            cadran();
        }
        if (s.Activated)
            ButtonTrackClick();
    }
}

void TForm1::Stop_Track()
{
    drivers.stopAll();
    TimerBlink->stop();
    TimerTrackOK->stop();
    showLamp(false);
    settings().resetLastAzimuth();
}

bool TForm1::autoOn() const
{
    return BitBtnAuto->palette().color(QPalette::ButtonText) == QColor(255, 0, 0);
}

void TForm1::BitBtnAutoClick()
{
    const Settings &s = settings();
    // The mode is the caption's colour; the button sinks in while AUTO is on.
    const bool on = !autoOn();
    QPalette palette = BitBtnAuto->palette();
    palette.setColor(QPalette::ButtonText, on ? QColor(255, 0, 0) : QColor(0, 0, 0));
    BitBtnAuto->setPalette(palette);
    BitBtnAuto->setStyleSheet(on ? QStringLiteral("padding: 0px; color: rgb(255, 0, 0);")
                                 : QStringLiteral("padding: 0px; color: black;"));
    BitBtnAuto->setText(on ? AutoOnCaption : AutoOffCaption);
    const int shift = on ? 2 : 0;
    BitBtnAuto->setGeometry(s.AutoButtonLeft + shift, s.AutoButtonTop + shift, BitBtnAuto->width(),
                            s.AutoButtonHeight - shift);
    if (!s.Starting)
        focusAngleWindow();
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
