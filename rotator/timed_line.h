#pragma once

#include <functional>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// What became of a command handed to a line.
enum class LineOutcome {
    Written,   // every write of it went out
    Cancelled, // a stop dropped writes of it that had not gone out
    Failed,    // a write failed; the rest was dropped
};

// A line to a controller as a queue of timed steps: a step's write, then the pause the controller
// needs before the next one. The pauses run on a timer, so no handler ever waits inside another;
// the line is busy until the last pause is over.
class TimedLine : public QObject
{
    Q_OBJECT
public:
    struct Step {
        std::function<void()> write; // throws TorvanelError when the line fails
        int pauseAfter = 0;          // milliseconds
    };
    using Done = std::function<void(LineOutcome, const QString &failure)>;

    explicit TimedLine(QObject *parent = nullptr);

    // Queues a command's steps behind what the line holds; the first goes out at once when the
    // line rests, and a failure of that one is thrown to the caller (done is then not called).
    // Otherwise done hears the command's outcome once its last write is out, or it is dropped.
    void send(QList<Step> steps, Done done = {});
    // Drops every step not yet carried out, and the pause under way: what is sent next goes out
    // at once.
    void cancel();
    bool busy() const { return !steps.isEmpty() || resting.isActive(); }
    // Carries out what the line holds now, the pauses slept through: for the exit and for a
    // direct use of the port, where nothing may run in between.
    void settle();

signals:
    // The last pause is over and nothing waits.
    void idle();
    // A write failed after the command was under way; its text.
    void failed(const QString &text);

private:
    struct Queued {
        Step step;
        // Set on the last step of a command.
        Done done;
        bool last = false;
    };

    // Carries out steps until one asks for a pause or none is left.
    void run();
    // One step; false when it failed (and the line was emptied).
    bool carryOut(Queued queued, bool throwFailure);
    void rest(int ms);

    QList<Queued> steps;
    QTimer resting;
    QElapsedTimer restClock;
    int restMs = 0;
    bool running = false;
};
