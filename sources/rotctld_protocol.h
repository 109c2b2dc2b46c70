#pragma once

#include <functional>
#include <QByteArray>
#include <QByteArrayView>

namespace rotctld {

// Hamlib's error codes as rotctld reports them.
enum class Status { Ok = 0, InvalidArgument = -1, NotImplemented = -4, IoError = -6, Refused = -11 };

// What a network client may drive. setAzimuth gets a whole degree 0..359 and says what became of
// the command; park answers whether a parking azimuth was set and so whether the antenna moves.
struct Rotator {
    std::function<Status(int)> setAzimuth;
    std::function<int()> azimuth;
    std::function<void()> stop;
    std::function<bool()> park;
};

enum class Command { SetPosition, GetPosition, Stop, Park, GetInfo, DumpState, Quit, Unknown };

struct Request {
    Command command = Command::Unknown;
    bool extended = false;
    // The arguments as received, blank-separated, for the extended header.
    QByteArray arguments;
    // For SetPosition, the azimuth in whole degrees 0..359 when both numbers are valid.
    int azimuth = -1;
    bool valid = false;
};

// One command line without its line end (a CR before the LF is dropped here). Blank lines are
// no request at all: isBlank tells.
Request parseLine(QByteArrayView line);
bool isBlank(QByteArrayView line);

// The azimuth text of a client, point or comma decimal, -180..360, negative ones counted from
// north backwards, rounded half to even, 360 folded to 0; -1 when the text is not one.
int azimuthFromText(QByteArrayView text);

// Carries the request out on the rotator and returns the bytes to send back, all at once
// (gpredict reads a position answer with a single receive).
QByteArray answer(const Request &request, const Rotator &rotator);

} // namespace rotctld
