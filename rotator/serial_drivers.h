#pragma once

#include <array>
#include <functional>
#include <memory>

#include "rotator/driver_table.h"
#include "rotator/serial_channel.h"
#include "rotator/serial_protocols.h"
#include "rotator/timed_line.h"

// The seven serial controllers: one track skeleton and one stop skeleton over the protocol
// table, each with its own channel and the timed line that carries its commands and pauses.
class SerialDrivers
{
public:
    struct Hooks {
        std::function<void(const QString &)> showCommand;  // LabelEtatInterface
        std::function<bool()> cpmOff;                      // ProSisTel's "CPM off" box
        // A write failed on a line whose command has already been answered (a stop, the closing
        // lines): the failure's text.
        std::function<void(const QString &)> reportError;
    };

    explicit SerialDrivers(Hooks hooks);

    // Registers every track and stop operation under its name.
    void registerIn(DriverTable &table);

    void track(const SerialProtocol &protocol, DriverTable::Done done);
    // Drops what the line has not sent yet, then sends the stop and closes the channel.
    void stop(const SerialProtocol &protocol);
    // Opens the channel of an interface unless it is open; false when it does not open.
    bool open(int rotator);
    // The shutdown's closing lines on an open channel, or only closing it for the parking
    // interface; TrakBox is opened for them if needed.
    void sendClosing(int rotator, bool onlyClose);
    // Sends lines on a channel that is open, then closes it; returns once they are out.
    void sendAndClose(int rotator, const SerialLines &lines);

    // A direct use of the port: the line first carries out what it holds.
    SerialChannel &channel(int rotator);
    // Once the lines have carried out what they hold.
    void closeAll();

private:
    struct Line {
        std::unique_ptr<SerialChannel> channel;
        std::unique_ptr<TimedLine> steps;
        // A stop's close is queued: a second stop has nothing to add.
        bool closing = false;
    };

    bool openFor(const SerialProtocol &protocol);
    void send(int rotator, const SerialLines &lines, TimedLine::Done done = {});
    void queueClose(int rotator);

    Hooks hooks;
    std::array<Line, InterfaceCount> lines;
};
