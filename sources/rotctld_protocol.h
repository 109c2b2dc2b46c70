#pragma once

#include <functional>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace rotctld {

// Hamlib's error codes as rotctld reports them.
enum class Status { Ok = 0, InvalidArgument = -1, NotImplemented = -4, IoError = -6, NotAvailable = -11 };

// M's directions, numbered as Hamlib numbers them.
enum class Direction { Up = 2, Down = 4, Left = 8, Right = 16 };

// What get_status reports.
enum class Motion { Idle, Turning, TurningLeft, TurningRight };

// What a network client may drive. setAzimuth gets a whole degree 0..359 and says what became of
// the command; park answers whether a parking azimuth was set and so whether the antenna moves;
// move turns toward the end stop on the asked side (Left or Right) until a stop.
struct Rotator {
    std::function<Status(int)> setAzimuth;
    std::function<int()> azimuth;
    std::function<void()> stop;
    std::function<bool()> park;
    std::function<Status(Direction)> move;
    std::function<Motion()> motion;
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

// The commands of one line without its end. A line holds any number of commands, blank-separated
// or not ("pp" is two); a '#' starts a comment; an unknown command ends the line.
QList<Request> parseLine(QByteArrayView line);
bool isBlank(QByteArrayView line);
bool isQuit(const Request &request);

// The azimuth text of a client, point or comma decimal, -180..360, negative ones counted from
// north backwards, rounded half to even, 360 folded to 0; -1 when the text is not one.
int azimuthFromText(QByteArrayView text);

// Carries the request out on the rotator and returns the bytes to send back, all at once
// (gpredict reads a position answer with a single receive).
QByteArray answer(const Request &request, const Rotator &rotator);

// Every command of the line, carried out in turn; quit tells whether one of them was a quit.
QByteArray answerLine(QByteArrayView line, const Rotator &rotator, bool *quit);

} // namespace rotctld
