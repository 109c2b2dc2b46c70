#pragma once

#include <array>
#include <functional>
#include <QString>

#include "app/settings.h"

// The track and stop operations of the interfaces, indexed by ANT.
class DriverTable
{
public:
    struct Operations {
        QString trackName;  // "GS_Track"
        QString stopName;   // "GS_Track_stop"; empty where the interface has none
        std::function<void()> track;
        std::function<void()> stop;
    };

    // The order in which Stop_Track calls the stop operations.
    static constexpr std::array<int, 10> StopOrder = {EA4TX, GS232,   EasyComm, DCU1, ProSisTel,
                                                      TrakBox, KCT, M2Orion,  EGIS, Hamlib};

    void add(int rotatorInterface, Operations operations);
    const Operations &at(int rotatorInterface) const { return rows.at(rotatorInterface); }
    bool hasTrack(int rotatorInterface) const;

    // Runs the track operation of an interface; false when none is registered.
    bool track(int rotatorInterface) const;
    void stopAll() const;

private:
    std::array<Operations, InterfaceCount> rows;
};
