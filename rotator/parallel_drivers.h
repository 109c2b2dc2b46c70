#pragma once

#include <functional>
#include <QList>
#include <QString>

#include "app/settings.h"
#include "rotator/driver_table.h"
#include "rotator/timed_line.h"

// One write of a board's frame: a fixed value, or the position byte, to the data or control
// register, followed by a pause (0: none).
struct BoardWrite {
    enum Register { Data, Control };
    Register target;
    int value;  // PositionByte stands for the position value
    int pauseAfter;
    static constexpr int PositionByte = -1;
};

// A parallel-port board: its settings and the frame that carries the position byte.
struct ParallelBoard {
    int rotator;            // PourSat or FODTrack
    const char *trackName;  // "PourSat_Track"
    int Settings::*lpt;     // index of LPT1..LPT3, -1 none
    int Settings::*step;
    int Settings::*stopSide;
    long double Settings::*calibration;  // position units per degree
    long double Settings::*zero;         // degrees
    QList<BoardWrite> frame;
};

const QList<ParallelBoard> &parallelBoards();

// The position value of an azimuth on a board, within 0..255.
int boardPosition(long double azimuth, long double zero, long double calibration);

// PourSat and FODTrack: one track operation over the board table, writing through the
// process-wide port library.
class ParallelDrivers
{
public:
    struct Hooks {
        std::function<void(const QString &)> showCommand;  // LabelEtatInterface
    };

    explicit ParallelDrivers(Hooks hooks);

    // Registers PourSat_Track and FOD_Track; the boards have no stop operation.
    void registerIn(DriverTable &table);

    void track(const ParallelBoard &board, DriverTable::Done done);

private:
    Hooks hooks;
    // The frame's writes and the pauses between them.
    TimedLine line;
};
