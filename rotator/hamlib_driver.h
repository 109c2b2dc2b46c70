#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "rotator/driver_table.h"

// What Hamlib is asked to open: its model, the port as Hamlib names it (a device path or
// host:port; empty for the model's default), the serial rate (0: the model's own) and how often
// the position is read back (0: never).
struct HamlibSetup {
    int model = 1;
    QString port;
    int baudRate = 0;
    int pollMs = 1000;
};

// The Hamlib interface. Every Hamlib call runs on the worker thread of the open interface, so a
// slow, absent or unplugged controller never holds up the window; what became of the calls comes
// back to this object's thread.
class HamlibDriver : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(const QString &)> showCommand;  // LabelEtatInterface
        // A failure that no command is waiting for: a stop, or the read-back.
        std::function<void(const QString &)> reportError;
    };
    // How long a command waits for the interface to open before it counts as failed.
    static constexpr int OpenTimeoutMs = 10000;

    explicit HamlibDriver(Hooks hooks, QObject *parent = nullptr);
    // Waits for the workers to carry out what they hold, so that the closing commands reach the
    // rotator; a few seconds at most, whatever Hamlib is stuck in.
    ~HamlibDriver() override;

    void registerIn(DriverTable &table);

    // The command counts as sent once Hamlib's rot_set_position has returned success.
    void HL_Track(DriverTable::Done done);
    void HL_Track_stop();
    // The shutdown's stop, left out while the antenna parks; the interface then closes once its
    // worker has carried out what it holds.
    void sendClosing(bool onlyClose);
    // Starts the interface's worker unless it is open; its commands wait for the opening.
    void open();
    // The next command opens the interface again, with the settings of that time.
    void close();
    bool isOpen() const { return state == State::Opening || state == State::Working; }

    // The azimuth the controller last reported, in the operator's terms (offset and stop side
    // undone); none before the first reading, after a failed one and while closed.
    std::optional<double> measuredAzimuth() const { return measured; }

signals:
    void measuredAzimuthChanged();
    // The command under way has its outcome: the next one may go.
    void settled();

private:
    class Worker;
    enum class State { Closed, Opening, Working, Failed };

    // Tells the command under way what became of it.
    void settle(Outcome outcome, const QString &failure = {});
    void retire();
    void setMeasured(std::optional<double> azimuth);
    // What the worker tells, each on this object's thread; a worker already retired is no
    // longer heard.
    void opened(quint64 from);
    void moved(quint64 from);
    void failed(quint64 from, const QString &text);
    void positionRead(quint64 from, std::optional<double> reported, const QString &failure);
    void ended();

    Hooks hooks;
    State state = State::Closed;
    HamlibSetup setup;
    QTimer openTimer;
    // The command handed to the worker, until Hamlib says what became of it.
    DriverTable::Done pending;
    std::unique_ptr<Worker> worker;
    quint64 workerId = 0;  // 0: none
    quint64 lastWorkerId = 0;
    // Closed workers finishing what they hold; gone once their thread has ended.
    std::vector<std::unique_ptr<Worker>> retired;
    std::optional<double> measured;
    bool readFailureReported = false;
};
