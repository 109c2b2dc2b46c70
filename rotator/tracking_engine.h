#pragma once

#include <optional>
#include <QObject>
#include <QString>

#include "rotator/driver_table.h"

// What became of a request.
enum class Outcome {
    Sent,    // the interface's command went out
    Skipped, // within the minimum step of the azimuth last sent
    Unreachable, // the driver could not reach its rotator (it beeped or said why)
    Refused, // not a valid azimuth, or no interface selected
    Failed,  // the driver raised an error; its text is in the result
    Merged,  // a command is in progress: the newest azimuth goes out when it is done
};

struct TrackResult {
    Outcome outcome;
    QString failure;
    // The text did not read as a number at all (as opposed to one out of range).
    bool unreadable = false;
};

// The tracking engine: AUTO, the request in progress and the newest one waiting, and the
// selected interface's drivers. It holds no widget; the windows observe it.
class TrackingEngine : public QObject
{
    Q_OBJECT
public:
    explicit TrackingEngine(DriverTable &drivers, QObject *parent = nullptr);

    bool autoOn() const { return autoMode; }
    void setAuto(bool on);

    // MAN: sends the azimuth, a number in the current locale, to the selected interface. While
    // a command is in progress, or requests are held, the newest text waits and the others are
    // dropped; it goes out once the command is done.
    TrackResult track(const QString &azimuthText);
    // A burst of requests whose last one alone matters: while held they only wait.
    void hold() { ++holds; }
    void release();
    // The program closes: what waits is dropped.
    void dropWaiting() { waiting.reset(); }
    bool busy() const { return inProgress; }
    // How many requests have been carried out, and the result of the last one.
    quint64 carriedOut() const { return carried; }
    TrackResult lastResult() const { return last; }
    // The azimuth the last command that went out was for, in the operator's terms (before
    // offset and half-turn); none before the first.
    std::optional<int> lastSent() const { return sent; }

signals:
    void autoChanged(bool on);
    // After every result but Merged, once the command (if any) has gone out.
    void tracked(const TrackResult &result);

private:
    TrackResult carryOut(const QString &azimuthText);
    // Runs the given request, then whatever came in meanwhile, newest only.
    TrackResult run(QString azimuthText);

    DriverTable &drivers;
    bool autoMode = false;
    bool inProgress = false;
    int holds = 0;
    std::optional<QString> waiting;
    quint64 carried = 0;
    TrackResult last{Outcome::Refused, {}};
    std::optional<int> sent;
};
