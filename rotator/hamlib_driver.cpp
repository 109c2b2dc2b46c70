#include "rotator/hamlib_driver.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <hamlib/rotator.h>

#include <QElapsedTimer>
#include <QTimer>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/serial_names.h"
#include "platform/ui_services.h"
#include "rotator/driver_table.h"
#include "rotator/hamlib_models.h"
#include "rotator/tracking.h"

namespace {

QString hamlibText(int code)
{
    // rigerror puts Hamlib's recent debug lines first; its last line is the error itself.
    const QStringList lines = QString::fromLocal8Bit(rigerror(code)).split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString::number(code) : lines.last().trimmed();
}

QString failureText(const HamlibSetup &setup, const QString &what)
{
    return QStringLiteral("Hamlib rotator %1 (%2): %3")
        .arg(QString::number(setup.model), setup.port.isEmpty() ? QStringLiteral("default port") : setup.port,
             what);
}

void setConfiguration(ROT *rot, const char *name, const QByteArray &value)
{
    rot_set_conf(rot, rot_token_lookup(rot, name), value.constData());
}

HamlibSetup setupFromSettings()
{
    const Settings &s = settings();
    HamlibSetup result;
    result.model = s.HAMLIB_MODEL;
    if (isSerialModel(s.HAMLIB_MODEL)) {
        if (s.PORT_HAMLIB >= 0)
            result.port = platform::resolveComPort(platform::comportsParent(), platform::comPortName(s.PORT_HAMLIB));
        result.baudRate = s.BAUD_HAMLIB.text.toInt();
    } else {
        result.port = s.HAMLIB_DEVICE;
    }
    result.pollMs = s.HAMLIB_POLL;
    return result;
}

// The operator's azimuth, in [0, 360), of one the controller reports: offset and stop side undone.
double operatorAzimuth(double reported, int offset, bool southStop)
{
    const double azimuth = std::fmod(reported + offset + (southStop ? 180 : 0), 360.0);
    return azimuth < 0 ? azimuth + 360 : azimuth;
}

} // namespace

// One open interface: its thread opens the rotator, carries out the newest commands and reads
// the position back, then closes the rotator.
class HamlibDriver::Worker
{
public:
    Worker(HamlibDriver *owner, quint64 id, const HamlibSetup &setup)
        : shared(std::make_shared<Shared>(owner, id, setup)), thread([shared = shared] { run(*shared); })
    {
    }
    // Waits for the thread to carry out what it holds, at most the time given: a call that
    // Hamlib cannot end sooner (a connection to a host that never answers) is left to finish
    // on its own, its news no longer told.
    ~Worker()
    {
        finish();
        QElapsedTimer clock;
        clock.start();
        while (!ended() && clock.elapsed() < LastCallsMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (ended()) {
            thread.join();
            return;
        }
        {
            const std::lock_guard lock(shared->mutex);
            shared->owner = nullptr;
        }
        thread.detach();
    }
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // The driver hands over one command at a time and waits for its outcome.
    void move(double azimuth)
    {
        const std::lock_guard lock(shared->mutex);
        shared->pendingMove = azimuth;
        shared->wake.notify_one();
    }
    // A stop cancels the move not yet sent; true when there was one.
    bool stop()
    {
        const std::lock_guard lock(shared->mutex);
        const bool cancelled = shared->pendingMove.has_value();
        shared->pendingMove.reset();
        shared->pendingStop = true;
        shared->wake.notify_one();
        return cancelled;
    }
    // Carries out what is held, then closes.
    void finish()
    {
        const std::lock_guard lock(shared->mutex);
        shared->finishing = true;
        shared->wake.notify_one();
    }
    bool ended() const { return shared->done; }

private:
    static constexpr int LastCallsMs = 5000;

    // What the thread uses: it stays while the thread runs, even once the worker is gone.
    struct Shared {
        Shared(HamlibDriver *owner, quint64 id, const HamlibSetup &setup) : owner(owner), id(id), setup(setup) {}

        // Null once nobody listens any longer.
        HamlibDriver *owner;
        // What the owner knows this worker by: an address may be taken again once it is freed.
        const quint64 id;
        const HamlibSetup setup;
        std::mutex mutex;
        std::condition_variable wake;
        std::optional<double> pendingMove;
        bool pendingStop = false;
        bool finishing = false;
        std::atomic<bool> done = false;
    };

    template<typename Event>
    static void tell(Shared &shared, Event event)
    {
        const std::lock_guard lock(shared.mutex);
        if (shared.owner)
            QMetaObject::invokeMethod(shared.owner, [owner = shared.owner, event] { event(*owner); }, Qt::QueuedConnection);
    }

    static void run(Shared &shared)
    {
        const HamlibSetup &setup = shared.setup;
        const quint64 id = shared.id;
        ROT *rot = rot_init(rot_model_t(setup.model));
        if (!rot) {
            fail(shared, failureText(setup, QStringLiteral("Hamlib has no such model")));
            return;
        }
        if (!setup.port.isEmpty())
            setConfiguration(rot, "rot_pathname", setup.port.toLocal8Bit());
        if (setup.baudRate > 0)
            setConfiguration(rot, "serial_speed", QByteArray::number(setup.baudRate));
        if (const int result = rot_open(rot); result != RIG_OK) {
            rot_cleanup(rot);
            fail(shared, failureText(setup, hamlibText(result)));
            return;
        }
        tell(shared, [id](HamlibDriver &owner) { owner.opened(id); });
        serve(shared, rot);
        rot_close(rot);
        rot_cleanup(rot);
        shared.done = true;
        tell(shared, [](HamlibDriver &owner) { owner.ended(); });
    }

    static void serve(Shared &shared, ROT *rot)
    {
        using Clock = std::chrono::steady_clock;
        const HamlibSetup &setup = shared.setup;
        const quint64 id = shared.id;
        const bool reads = setup.pollMs > 0 && rot->caps->get_position;
        Clock::time_point nextRead = Clock::now();
        for (;;) {
            std::optional<double> moveTo;
            bool stopNow = false;
            bool last = false;
            {
                std::unique_lock lock(shared.mutex);
                const auto ready = [&shared] { return shared.pendingMove || shared.pendingStop || shared.finishing; };
                if (reads)
                    shared.wake.wait_until(lock, nextRead, ready);
                else
                    shared.wake.wait(lock, ready);
                std::swap(moveTo, shared.pendingMove);
                std::swap(stopNow, shared.pendingStop);
                last = shared.finishing;
            }
            int result = stopNow ? rot_stop(rot) : RIG_OK;
            if (result == RIG_OK && moveTo)
                result = rot_set_position(rot, azimuth_t(*moveTo), 0);
            if (result != RIG_OK) {
                tell(shared, [id, text = failureText(setup, hamlibText(result))](HamlibDriver &owner) {
                    owner.failed(id, text);
                });
                return;
            }
            if (moveTo)
                tell(shared, [id](HamlibDriver &owner) { owner.moved(id); });
            if (last)
                return;
            if (reads && Clock::now() >= nextRead) {
                azimuth_t azimuth = 0;
                elevation_t elevation = 0;
                const int read = rot_get_position(rot, &azimuth, &elevation);
                std::optional<double> reported;
                QString failure;
                if (read == RIG_OK)
                    reported = azimuth;
                else
                    failure = failureText(setup, hamlibText(read));
                tell(shared, [id, reported, failure](HamlibDriver &owner) { owner.positionRead(id, reported, failure); });
                nextRead = Clock::now() + std::chrono::milliseconds(setup.pollMs);
            }
        }
    }

    // The opening failed: the thread ends without a rotator to close.
    static void fail(Shared &shared, const QString &text)
    {
        shared.done = true;
        tell(shared, [id = shared.id, text](HamlibDriver &owner) { owner.failed(id, text); });
    }

    std::shared_ptr<Shared> shared;
    std::thread thread;
};

HamlibDriver::HamlibDriver(Hooks hooks, QObject *parent) : QObject(parent), hooks(std::move(hooks))
{
    prepareHamlib();
    openTimer.setSingleShot(true);
    connect(&openTimer, &QTimer::timeout, this, [this] {
        if (state == State::Opening)
            failed(workerId, failureText(setup, QStringLiteral("no answer")));
    });
}

HamlibDriver::~HamlibDriver()
{
    // The window that listens is being taken down: nobody is left to hear an outcome.
    blockSignals(true);
    pending = nullptr;
    close();
    retired.clear();
}

void HamlibDriver::registerIn(DriverTable &table)
{
    table.add(Hamlib, {QStringLiteral("HL_Track"), QStringLiteral("HL_Track_stop"),
                       [this](DriverTable::Done done) { HL_Track(std::move(done)); }, [this] { HL_Track_stop(); },
                       [this] { return bool(pending); }});
    connect(this, &HamlibDriver::settled, this, [&table] { table.idle(); });
}

void HamlibDriver::HL_Track(DriverTable::Done done)
{
    Settings &s = settings();
    if (!tracking::beginTrack(s, s.STEP_HAMLIB, s.STOP_HAMLIB == SouthStop))
        return;
    const int value = tracking::commandValue(s.TargetAzimuth, s.AZOFFSET_HAMLIB);
    // A serial model without a COM port is unreachable, as for the serial interfaces.
    if (isSerialModel(s.HAMLIB_MODEL) && s.PORT_HAMLIB < 0) {
        s.CommandSkipped = true;
        platform::ui().beep(platform::Beep::Default);
        return;
    }
    open();
    pending = std::move(done);
    worker->move(value);
    hooks.showCommand(QStringLiteral("P ") + QString::number(value) + u' ' + setup.port);
}

void HamlibDriver::HL_Track_stop()
{
    if (!isOpen())
        return;
    if (worker->stop())
        settle(Outcome::Stopped);
    hooks.showCommand(QStringLiteral("S ") + setup.port);
}

void HamlibDriver::sendClosing(bool onlyClose)
{
    if (!isOpen())
        return;
    if (!onlyClose)
        worker->stop();
    close();
}

void HamlibDriver::close()
{
    if (worker) {
        worker->finish();
        retire();
    }
    state = State::Closed;
    openTimer.stop();
    setMeasured(std::nullopt);
    // The closed worker's news is no longer heard.
    settle(Outcome::Dropped);
}

void HamlibDriver::open()
{
    if (isOpen())
        return;
    retire();
    setup = setupFromSettings();
    readFailureReported = false;
    state = State::Opening;
    workerId = ++lastWorkerId;
    worker = std::make_unique<Worker>(this, workerId, setup);
    openTimer.start(OpenTimeoutMs);
}

void HamlibDriver::settle(Outcome outcome, const QString &failure)
{
    if (!pending)
        return;
    const DriverTable::Done done = std::exchange(pending, {});
    done(outcome, failure);
    emit settled();
}

void HamlibDriver::retire()
{
    if (worker)
        retired.push_back(std::move(worker));
    workerId = 0;
    ended();
}

void HamlibDriver::setMeasured(std::optional<double> azimuth)
{
    if (azimuth == measured)
        return;
    measured = azimuth;
    emit measuredAzimuthChanged();
}

void HamlibDriver::opened(quint64 from)
{
    if (from == workerId && state == State::Opening) {
        state = State::Working;
        openTimer.stop();
    }
}

void HamlibDriver::moved(quint64 from)
{
    if (from == workerId)
        settle(Outcome::Sent);
}

void HamlibDriver::failed(quint64 from, const QString &text)
{
    if (from != workerId)
        return;
    retire();
    state = State::Failed;
    openTimer.stop();
    setMeasured(std::nullopt);
    // The next command for the same azimuth tries again.
    settings().resetLastAzimuth();
    if (pending)
        settle(Outcome::Failed, text);
    else
        hooks.reportError(text);
}

void HamlibDriver::positionRead(quint64 from, std::optional<double> reported, const QString &failure)
{
    if (from != workerId || state != State::Working)
        return;
    const Settings &s = settings();
    setMeasured(reported ? std::optional(operatorAzimuth(*reported, s.AZOFFSET_HAMLIB, s.STOP_HAMLIB == SouthStop))
                         : std::nullopt);
    if (reported) {
        readFailureReported = false;
    } else if (!readFailureReported) {
        // Once while the readings fail, not at every period.
        readFailureReported = true;
        hooks.reportError(failure);
    }
}

void HamlibDriver::ended()
{
    std::erase_if(retired, [](const std::unique_ptr<Worker> &each) { return each->ended(); });
}
