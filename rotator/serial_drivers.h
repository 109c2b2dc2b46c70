#pragma once

#include <array>
#include <functional>
#include <memory>

#include "rotator/serial_channel.h"
#include "rotator/serial_protocols.h"

class DriverTable;

// The seven serial controllers: one track skeleton and one stop skeleton over the protocol
// table, each with its own channel.
class SerialDrivers
{
public:
    struct Hooks {
        std::function<void(const QString &)> showCommand;  // LabelEtatInterface
        std::function<bool()> cpmOff;                      // ProSisTel's "CPM off" box
        std::function<void(int ms)> wait;
    };

    explicit SerialDrivers(Hooks hooks);

    // Registers every track and stop operation under its name.
    void registerIn(DriverTable &table);

    void track(const SerialProtocol &protocol);
    void stop(const SerialProtocol &protocol);
    // The shutdown's closing lines on an open channel, or only closing it for the parking
    // interface; TrakBox is opened for them if needed.
    void sendClosing(int rotator, bool onlyClose);
    // Sends lines on a channel that is open, then closes it.
    void sendAndClose(int rotator, const SerialLines &lines);

    SerialChannel &channel(int rotator);
    void closeAll();

private:
    bool openFor(const SerialProtocol &protocol);
    void send(SerialChannel &channel, const SerialLines &lines);

    Hooks hooks;
    std::array<std::unique_ptr<SerialChannel>, InterfaceCount> channels;
};
