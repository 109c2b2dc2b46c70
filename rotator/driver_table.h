#pragma once

#include <array>
#include <functional>
#include <QString>

#include "app/settings.h"

// What became of a request.
enum class Outcome {
    Sent,        // the interface's command went out (Hamlib: the rotator took it)
    Skipped,     // within the minimum step of the azimuth last sent
    Unreachable, // the driver could not reach its rotator (it beeped or said why)
    Refused,     // not a valid azimuth, no interface selected, or the program closes
    Failed,      // the driver raised an error; its text is in the result
    Superseded,  // a newer azimuth replaced it before it went out
    Stopped,     // a stop came before it went out
    Dropped,     // the program closed before it went out
};

// The track and stop operations of the interfaces, indexed by ANT.
class DriverTable
{
public:
    // Told once what became of a command that an interface took on: Sent, Stopped, Unreachable
    // or Failed with the driver's text.
    using Done = std::function<void(Outcome, const QString &failure)>;

    // A track operation throws when it fails at once, and sets CommandSkipped when it sends
    // nothing; otherwise it calls done, then or later.
    struct Operations {
        QString trackName;  // "GS_Track"
        QString stopName;   // "GS_Track_stop"; empty where the interface has none
        std::function<void(Done)> track;
        std::function<void()> stop;
        // The interface still carries out a command or the pause after it; null: never.
        std::function<bool()> busy;
    };

    // The order in which Stop_Track calls the stop operations.
    static constexpr std::array<int, 10> StopOrder = {EA4TX, GS232,   EasyComm, DCU1, ProSisTel,
                                                      TrakBox, KCT, M2Orion,  EGIS, Hamlib};

    void add(int rotatorInterface, Operations operations);
    const Operations &at(int rotatorInterface) const { return rows.at(rotatorInterface); }
    bool hasTrack(int rotatorInterface) const;

    // Runs the track operation of an interface; false when none is registered.
    bool track(int rotatorInterface, Done done) const;
    bool busy(int rotatorInterface) const;
    void stopAll() const;

    // An interface's line has come to rest: the engine sends what waits.
    std::function<void()> onIdle;
    void idle() const
    {
        if (onIdle)
            onIdle();
    }

private:
    std::array<Operations, InterfaceCount> rows;
};
