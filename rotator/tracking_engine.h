#pragma once

#include <functional>
#include <optional>
#include <QList>
#include <QObject>
#include <QString>

#include "rotator/driver_table.h"

struct TrackResult {
    Outcome outcome;
    QString failure;
    // The text did not read as a number at all (as opposed to one out of range).
    bool unreadable = false;
};

// The tracking engine: AUTO, the request in progress and the newest one waiting, and the
// selected interface's drivers. Every request lives from its arrival to one final outcome, which
// its source hears once it is known. It holds no widget; the windows observe it.
class TrackingEngine : public QObject
{
    Q_OBJECT
public:
    using Reply = std::function<void(const TrackResult &)>;

    explicit TrackingEngine(DriverTable &drivers, QObject *parent = nullptr);

    bool autoOn() const { return autoMode; }
    void setAuto(bool on);

    // MAN: sends the azimuth, a number in the current locale, to the selected interface. While
    // the interface carries out a command (or the pause after it), or requests are held, the
    // newest request waits and the one it replaces is superseded. Returns the request's number.
    // A travel target is the position, in the rotator's own degrees, that a peer asked for by its
    // turn (370 on a 0..450 rotator); without one the driver takes the shortest turn.
    quint64 track(const QString &azimuthText, Reply reply = {}, std::optional<int> travelTarget = {});
    // Adds a listener to a request; one already settled is answered at once.
    void follow(quint64 request, Reply reply);
    quint64 lastRequest() const { return requests; }
    // A burst of requests whose last one alone matters: while held they only wait.
    void hold() { ++holds; }
    void release();
    // STOP: what waits is stopped, then every interface stops, which cancels what its line has
    // not sent yet. Throws the first driver error once every interface has been told.
    void stop();
    // The program closes: what waits is dropped.
    void dropWaiting();
    bool busy() const;
    // The azimuth the last command that went out was for, in the operator's terms (before
    // offset and half-turn); none before the first.
    std::optional<int> lastSent() const { return sent; }

signals:
    void autoChanged(bool on);
    // The final outcome of every request that was carried out (not those superseded, stopped or
    // dropped while they waited), once its command (if any) has gone out.
    void tracked(const TrackResult &result);

private:
    struct Request {
        quint64 number = 0;
        QString azimuthText;
        QList<Reply> replies;
        int wanted = -1;
        std::optional<int> travelTarget;
    };

    void start(Request request);
    void carryOut(Request request);
    // The request in progress has its outcome.
    void finish(const TrackResult &result);
    // Tells a request's listeners its outcome.
    void settle(Request &request, const TrackResult &result);
    void settleWaiting(Outcome outcome);
    // Starts what waits once the interface is free.
    void resume();

    DriverTable &drivers;
    bool autoMode = false;
    int holds = 0;
    quint64 requests = 0;
    std::optional<Request> current;
    std::optional<Request> waiting;
    bool starting = false;
    // The last request settled, so that a late listener still hears it.
    quint64 settledNumber = 0;
    TrackResult settledResult{Outcome::Refused, {}};
    std::optional<int> sent;
};
