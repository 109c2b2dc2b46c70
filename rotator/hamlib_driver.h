#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include "rotator/driver_table.h"

// What Hamlib is asked to open: its model, the port as Hamlib names it (a device path or
// host:port; empty for the model's default), the serial rate (0: the model's own) and the
// shortest period of the position reading (0: never read).
struct HamlibSetup {
    int model = 1;
    QString port;
    int baudRate = 0;
    int pollMs = 200;
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
        // A failure that no command is waiting for: the opening, a stop, or the read-back.
        std::function<void(const QString &)> reportError;
        // This program's own rotctld server listens at that address and port: Hamlib connected
        // there would hand every command back to this program.
        std::function<bool(const QHostAddress &, quint16)> isOwnServer;
    };
    // How long a command waits for the interface to open before it counts as failed.
    static constexpr int OpenTimeoutMs = 10000;
    // How long the program, once closing, gives Hamlib to carry out its last commands: the
    // program ends within a second more, whatever Hamlib is stuck in.
    static constexpr int ExitMs = 4000;

    explicit HamlibDriver(Hooks hooks, QObject *parent = nullptr);
    // Waits for the workers to carry out what they hold, so that the closing commands reach the
    // rotator; until the exit's bound at most, whatever Hamlib is stuck in.
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
    // Lets the interface go at once: its worker carries out what it holds and closes the
    // rotator, and its news is no longer heard. The next open uses the settings of that time.
    void close();
    bool isOpen() const { return state == State::Opening || state == State::Working; }
    // The program closes: a command still waiting for the opening is dropped, and what Hamlib
    // has not done ExitMs from now is given up.
    void beginExit();

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
    // The far end of a network rotator's connection.
    struct Peer {
        QHostAddress address;
        quint16 port = 0;
    };

    // Tells the command under way what became of it.
    void settle(Outcome outcome, const QString &failure = {});
    void retire();
    void setMeasured(std::optional<double> azimuth);
    // The rotator is at, or on its way to, an azimuth of the model's.
    void setPosition(double reported);
    QString failureText(const QString &what) const;
    bool exitPassed() const { return exiting && exitDeadline.hasExpired(); }
    // What the worker tells, each on this object's thread; a worker already retired is no
    // longer heard.
    void portKnown(quint64 from, const QString &port);
    // range: the model's own, as opened.
    void opened(quint64 from, const std::optional<Peer> &peer, Travel range);
    // The model's azimuth that went out.
    void moved(quint64 from, double sent);
    void failed(quint64 from, const QString &text);
    void positionRead(quint64 from, std::optional<double> reported, const QString &failure);
    void ended();

    Hooks hooks;
    State state = State::Closed;
    HamlibSetup setup;
    // The port Hamlib opens, as the failures name it.
    QString port;
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
    bool exiting = false;
    QDeadlineTimer exitDeadline;
    QTimer exitTimer;
};
