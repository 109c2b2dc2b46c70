#pragma once

#include <functional>
#include <QString>

class DriverTable;

// EA4TX, driven through its control program ARSWIN, and KCT, driven through Movenow.com.
class HostDrivers
{
public:
    struct Hooks {
        std::function<void(const QString &)> showCommand;  // LabelEtatInterface
    };

    // The stop value of the ARSWIN message.
    static constexpr quint32 ArswinStop = 65535;

    explicit HostDrivers(Hooks hooks);

    void registerIn(DriverTable &table);

    void EA_Track();
    void EA_Track_stop();
    void KCT_Track();

private:
    Hooks hooks;
};
