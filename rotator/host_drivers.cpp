#include "rotator/host_drivers.h"

#include "app/settings.h"
#include "platform/programs.h"
#include "platform/ui_services.h"
#include "platform/window_messages.h"
#include "rotator/driver_table.h"
#include "rotator/tracking.h"

namespace {

const QString AzimuthMessage = QStringLiteral("AZIMUTH");

platform::TopLevelWindow arswin()
{
    return platform::TopLevelWindow(QStringLiteral("ThunderForm"), QStringLiteral("ARSWIN"));
}

} // namespace

HostDrivers::HostDrivers(Hooks hooks) : hooks(std::move(hooks)) {}

void HostDrivers::registerIn(DriverTable &table)
{
    // The other program has taken the command once it is handed over.
    const auto handedOver = [](void (HostDrivers::*track)(), HostDrivers *self) {
        return [track, self](const DriverTable::Done &done) {
            (self->*track)();
            if (!settings().CommandSkipped)
                done(Outcome::Sent, {});
        };
    };
    table.add(EA4TX, {QStringLiteral("EA_Track"), QStringLiteral("EA_Track_stop"), handedOver(&HostDrivers::EA_Track, this),
                      [this] { EA_Track_stop(); }, {}});
    // KCT has no stop command; its stop operation exists and does nothing.
    table.add(KCT, {QStringLiteral("KCT_Track"), QStringLiteral("KCT_Track_stop"), handedOver(&HostDrivers::KCT_Track, this),
                    [] {}, {}});
}

void HostDrivers::EA_Track()
{
    Settings &s = settings();
    // The stop side chosen on the EA4TX page turns the azimuth as on every other interface.
    if (!tracking::beginTrack(s, s.STEP_EA4TX, s.STOP_EA4TX == SouthStop))
        return;
    // Not wrapped into 0..359: a target from 359.5 upward gives 360.
    const auto azimuth = quint32(tracking::roundHalfEven(s.TargetAzimuth));
    const platform::TopLevelWindow window = arswin();
    if (!window.exists()) {
        platform::ui().beep(platform::Beep::Exclamation);
        platform::ui().notify(platform::MessageKind::Warning, s.MsgArswinNotRunning);
        s.CommandSkipped = true;
        return;
    }
    hooks.showCommand(QString::number(azimuth));
    if (!window.post(AzimuthMessage, azimuth, 0)) {
        platform::ui().beep(platform::Beep::Default);
        s.CommandSkipped = true;
    }
}

void HostDrivers::EA_Track_stop()
{
    const platform::TopLevelWindow window = arswin();
    if (window.exists() && !window.post(AzimuthMessage, ArswinStop, 0))
        platform::ui().beep(platform::Beep::Default);
}

void HostDrivers::KCT_Track()
{
    Settings &s = settings();
    if (!tracking::beginTrack(s, s.STEP_KCT, s.STOP_KCT == SouthStop))
        return;
    const QString digits = QString::number(tracking::commandValue(s.TargetAzimuth, s.AZOFFSET_KCT))
                               .rightJustified(3, QLatin1Char('0'));
    const QString program = platform::movenowProgram(s.MOVENOW, s.ExeDir);
    const int result = platform::ui().start(program, {QStringLiteral("PA"), digits});
    if (result <= 32) {
        platform::ui().notify(platform::MessageKind::Warning,
                              QStringLiteral("movenow.com error #") + QString::number(result));
        s.CommandSkipped = true;
    }
    hooks.showCommand(QStringLiteral("PA ") + digits);
}
