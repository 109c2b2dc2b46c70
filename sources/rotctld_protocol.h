#pragma once

#include <functional>
#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include "app/travel.h"

namespace rotctld {

// Hamlib's error codes as rotctld reports them.
enum class Status { Ok = 0, InvalidArgument = -1, NotImplemented = -4, IoError = -6, Rejected = -9, NotAvailable = -11 };

// M's directions, numbered as Hamlib numbers them.
enum class Direction { Up = 2, Down = 4, Left = 8, Right = 16 };

// What get_status reports.
enum class Motion { Idle, Turning, TurningLeft, TurningRight };
// A rotator with an overlap turned past north: counter-clockwise below 0, clockwise past 360.
enum class Overlap { None, Left, Right };

// Called, possibly later, with the final outcome of a command the rotator carries out; only the
// first call counts.
using Done = std::function<void(Status)>;

// What a network client may drive. setAzimuth gets a whole degree 0..359; setTravelAzimuth a
// whole degree of the overlap's travel outside 0..359 (370), the very position the rotator is to
// go to; move turns toward the end stop on the asked side (Left or Right) until a stop.
struct Rotator {
    std::function<void(int azimuth, Done)> setAzimuth;
    // On the travel when the rotator has an overlap (370), else 0..359.
    std::function<int()> azimuth;
    std::function<void(Done)> stop;      // also R (reset)
    std::function<void(Done)> park;      // NotAvailable when no parking azimuth is set
    std::function<void(Direction, Done)> move;
    std::function<Motion()> motion;
    std::function<void(int azimuth, Done)> setTravelAzimuth;
    // The azimuths a rotator with an overlap points to over its travel, offset and stop side
    // applied (0..450); none (or no function) for one turn.
    std::function<std::optional<Travel>()> overlap;
    std::function<Overlap()> overlapSide;
};

struct CommandRow;

// One command of a line, as Hamlib's rotctld reads it: a letter or a backslash and a long name,
// with a '+' (extended answer, one value a line) or ';', '|', ',' (extended answer, values
// separated by that character) right before it, then its arguments.
struct Request {
    const CommandRow *row = nullptr; // null: no such command
    char separator = 0;              // 0 for the plain answer
    QList<QByteArray> arguments;
    bool complete = false;           // every argument was there
};

// The commands of one line without its end, none for a blank line. A line holds any number of
// commands, blank-separated or not ("pp" is two); a '#' starts a comment; an unknown command ends
// the line.
QList<Request> parseLine(QByteArrayView line);
bool isQuit(const Request &request);

// The status line that ends an answer: "RPRT 0" and Hamlib's error codes.
QByteArray report(Status code);

// The azimuth text of a client, point or comma decimal, -180..360, negative ones counted from
// north backwards, rounded half to even, 360 folded to 0; -1 when the text is not one.
int azimuthFromText(QByteArrayView text);

// Carries the request out on the rotator; reply gets the bytes to send back, all at once
// (gpredict reads a position answer with a single receive), now or once the outcome is known.
// A quit is answered with nothing.
void answer(const Request &request, const Rotator &rotator, std::function<void(const QByteArray &)> reply);

} // namespace rotctld
