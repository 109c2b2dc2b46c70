#include "rotator/hamlib_driver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <hamlib/rotator.h>

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

void setConfiguration(ROT *rot, const char *name, const QByteArray &value)
{
    rot_set_conf(rot, rot_token_lookup(rot, name), value.constData());
}

HamlibSetup setupFromSettings()
{
    const Settings &s = settings();
    HamlibSetup result;
    result.model = s.HAMLIB_MODEL;
    // A model this Hamlib does not know is named with the port the settings give it.
    const std::optional<HamlibModel> model = hamlibModel(s.HAMLIB_MODEL);
    if (model ? model->serial : s.PORT_HAMLIB >= 0) {
        if (s.PORT_HAMLIB >= 0)
            result.port = platform::resolveComPort(platform::comportsParent(), platform::comPortName(s.PORT_HAMLIB));
        result.baudRate = s.BAUD_HAMLIB.text.toInt();
    } else if (!model || !model->portless) {
        // Not to a model without a port: Hamlib would take a host:port left in the field by a
        // network model for its own, and fail to connect there.
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

// The azimuth in a range (-180..180, 0..450 ...) that points where a value does: the value
// itself when the range holds it, else a turn less or more. A model's range that holds none of
// them is left to Hamlib, which says why it refuses the value.
double modelAzimuth(double value, double minimum, double maximum)
{
    for (const double candidate : {value, value - 360, value + 360}) {
        if (candidate >= minimum && candidate <= maximum)
            return candidate;
    }
    return value;
}

// Why the model cannot work at the rate; empty when it can. Hamlib would open the port at any rate.
QString rateRefusal(const rot_caps &caps, int rate)
{
    if (caps.port_type != RIG_PORT_SERIAL || rate <= 0 || caps.serial_rate_max <= 0
        || (rate >= caps.serial_rate_min && rate <= caps.serial_rate_max))
        return {};
    if (caps.serial_rate_min == caps.serial_rate_max)
        return QStringLiteral("%1 bauds: the model works at %2 bauds only").arg(rate).arg(caps.serial_rate_min);
    return QStringLiteral("%1 bauds: the model works at %2 to %3 bauds")
        .arg(rate)
        .arg(caps.serial_rate_min)
        .arg(caps.serial_rate_max);
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
    // A worker let go without a wait is left to end on its own.
    ~Worker()
    {
        if (thread.joinable())
            release(QDeadlineTimer(0));
    }
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // The driver hands over one command at a time and waits for its outcome.
    void move(double azimuth)
    {
        {
            const std::lock_guard lock(shared->mutex);
            shared->pendingMove = azimuth;
        }
        // Told once the lock is free: the thread woken goes on at once.
        shared->wake.notify_one();
    }
    // A stop cancels the move not yet sent; true when there was one.
    bool stop()
    {
        bool cancelled = false;
        {
            const std::lock_guard lock(shared->mutex);
            cancelled = shared->pendingMove.has_value();
            shared->pendingMove.reset();
            shared->pendingStop = true;
        }
        shared->wake.notify_one();
        return cancelled;
    }
    // Takes back the move not yet sent.
    void withdraw()
    {
        const std::lock_guard lock(shared->mutex);
        shared->pendingMove.reset();
    }
    // The rotator is open and may be used.
    void admit()
    {
        {
            const std::lock_guard lock(shared->mutex);
            shared->admitted = true;
        }
        shared->wake.notify_one();
    }
    // Carries out what is held, unless the rotator was never admitted, then closes.
    void finish()
    {
        {
            const std::lock_guard lock(shared->mutex);
            shared->finishing = true;
        }
        shared->wake.notify_one();
    }
    bool ended() const { return shared->done; }
    // Finishes, the deadline at most: a call that Hamlib cannot end sooner (a connection to a
    // host that never answers) is left to end on its own, its news no longer told. The thread
    // keeps what it uses; nothing of the driver's.
    void release(QDeadlineTimer deadline)
    {
        finish();
        while (!ended() && !deadline.hasExpired())
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

private:
    // A reading takes at most this share of the line's time (1/LineShare), so that commands find
    // the line free, however slow it is.
    static constexpr int LineShare = 5;

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
        bool admitted = false;
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
            fail(shared, QStringLiteral("Hamlib has no such model"));
            return;
        }
        if (!setup.port.isEmpty())
            setConfiguration(rot, "rot_pathname", setup.port.toLocal8Bit());
        if (setup.baudRate > 0)
            setConfiguration(rot, "serial_speed", QByteArray::number(setup.baudRate));
        tell(shared, [id, port = QString::fromLocal8Bit(rot->state.rotport.pathname)](HamlibDriver &owner) {
            owner.portKnown(id, port);
        });
        QString refusal = rateRefusal(*rot->caps, setup.baudRate);
        if (const int result = refusal.isEmpty() ? rot_open(rot) : RIG_OK; result != RIG_OK)
            refusal = hamlibText(result);
        if (!refusal.isEmpty()) {
            rot_cleanup(rot);
            fail(shared, refusal);
            return;
        }
        const Travel range{int(std::ceil(rot->state.min_az)), int(std::floor(rot->state.max_az))};
        tell(shared, [id, peer = peerOf(rot), range](HamlibDriver &owner) { owner.opened(id, peer, range); });
        if (admitted(shared))
            serve(shared, rot);
        rot_close(rot);
        rot_cleanup(rot);
        shared.done = true;
        tell(shared, [](HamlibDriver &owner) { owner.ended(); });
    }

    // The far end of a network rotator's connection; none for the others.
    static std::optional<Peer> peerOf(ROT *rot)
    {
        if (rot->caps->port_type != RIG_PORT_NETWORK)
            return std::nullopt;
        sockaddr_storage address{};
        socklen_t size = sizeof address;
        if (::getpeername(rot->state.rotport.fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return std::nullopt;
        Peer peer{QHostAddress(reinterpret_cast<const sockaddr *>(&address)), 0};
        if (address.ss_family == AF_INET)
            peer.port = ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
        else if (address.ss_family == AF_INET6)
            peer.port = ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
        return peer;
    }

    // Waits for the owner's word on the opened rotator: false when it is let go unused.
    static bool admitted(Shared &shared)
    {
        std::unique_lock lock(shared.mutex);
        shared.wake.wait(lock, [&shared] { return shared.admitted || shared.finishing; });
        return shared.admitted;
    }

    static void serve(Shared &shared, ROT *rot)
    {
        using Clock = std::chrono::steady_clock;
        const HamlibSetup &setup = shared.setup;
        const quint64 id = shared.id;
        const bool reads = setup.pollMs > 0 && rot->caps->get_position;
        // The model's range as opened (a network rotator's comes from its server).
        const double minimum = rot->state.min_az, maximum = rot->state.max_az;
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
            const double sent = moveTo ? modelAzimuth(*moveTo, minimum, maximum) : 0;
            if (result == RIG_OK && moveTo)
                result = rot_set_position(rot, azimuth_t(sent), 0);
            if (result != RIG_OK) {
                tell(shared, [id, text = hamlibText(result)](HamlibDriver &owner) { owner.failed(id, text); });
                return;
            }
            if (moveTo)
                tell(shared, [id, sent](HamlibDriver &owner) { owner.moved(id, sent); });
            if (last)
                return;
            if (reads && Clock::now() >= nextRead) {
                const Clock::time_point began = Clock::now();
                azimuth_t azimuth = 0;
                elevation_t elevation = 0;
                const int read = rot_get_position(rot, &azimuth, &elevation);
                std::optional<double> reported;
                QString failure;
                if (read == RIG_OK)
                    reported = azimuth;
                else
                    failure = hamlibText(read);
                tell(shared, [id, reported, failure](HamlibDriver &owner) { owner.positionRead(id, reported, failure); });
                const Clock::time_point now = Clock::now();
                nextRead = now + std::max<Clock::duration>(std::chrono::milliseconds(setup.pollMs), (now - began) * LineShare);
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
            failed(workerId, QStringLiteral("no answer"));
    });
    exitTimer.setSingleShot(true);
    connect(&exitTimer, &QTimer::timeout, this, [this] {
        // The program does not wait any longer for what Hamlib still holds.
        settle(Outcome::Failed, failureText(QStringLiteral("no answer before the program closed")));
        close();
    });
}

HamlibDriver::~HamlibDriver()
{
    // The window that listens is being taken down: nobody is left to hear an outcome.
    blockSignals(true);
    pending = nullptr;
    close();
    const QDeadlineTimer until = exiting ? exitDeadline : QDeadlineTimer(ExitMs);
    for (const std::unique_ptr<Worker> &each : retired)
        each->release(until);
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
    // A serial model without a COM port is unreachable, as for the serial interfaces.
    if (isSerialModel(s.HAMLIB_MODEL) && s.PORT_HAMLIB < 0) {
        s.CommandSkipped = true;
        platform::ui().beep(platform::Beep::Default);
        return;
    }
    // The program closes and Hamlib has had its time.
    if (exitPassed()) {
        s.CommandSkipped = true;
        return;
    }
    const int value = tracking::travelValue(s, Hamlib, s.AZOFFSET_HAMLIB);
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
    if (worker)
        worker->finish();
    retire();
    state = State::Closed;
    openTimer.stop();
    setMeasured(std::nullopt);
    // The closed worker's news is no longer heard.
    settle(Outcome::Dropped);
}

void HamlibDriver::open()
{
    // A serial model without a COM port has nothing to open.
    const Settings &s = settings();
    if (isOpen() || (isSerialModel(s.HAMLIB_MODEL) && s.PORT_HAMLIB < 0))
        return;
    retire();
    setup = setupFromSettings();
    port = setup.port.isEmpty() ? QStringLiteral("default port") : setup.port;
    readFailureReported = false;
    state = State::Opening;
    workerId = ++lastWorkerId;
    worker = std::make_unique<Worker>(this, workerId, setup);
    openTimer.start(OpenTimeoutMs);
}

void HamlibDriver::beginExit()
{
    if (exiting)
        return;
    exiting = true;
    exitDeadline = QDeadlineTimer(ExitMs);
    exitTimer.start(ExitMs);
    // Nothing has gone out while the rotator opens: its command is dropped, not waited for.
    if (state == State::Opening && pending) {
        worker->withdraw();
        settle(Outcome::Dropped);
    }
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

QString HamlibDriver::failureText(const QString &what) const
{
    return QStringLiteral("Hamlib rotator %1 (%2): %3").arg(QString::number(setup.model), port, what);
}

void HamlibDriver::portKnown(quint64 from, const QString &inUse)
{
    if (from == workerId && !inUse.isEmpty())
        port = inUse;
}

void HamlibDriver::opened(quint64 from, const std::optional<Peer> &peer, Travel range)
{
    if (from != workerId || state != State::Opening)
        return;
    if (peer && hooks.isOwnServer && hooks.isOwnServer(peer->address, peer->port)) {
        failed(from, QStringLiteral("this is Torvanel's own rotctld server, which would hand every command back "
                                    "to Hamlib: give the address of another rotator"));
        return;
    }
    state = State::Working;
    openTimer.stop();
    worker->admit();
    // Past the model's ends Hamlib is given the same heading a turn nearer, which may be the long way.
    const Travel travel = settings().travel(Hamlib);
    if (travel.overlaps() && (travel.minimum < range.minimum || travel.maximum > range.maximum))
        hooks.reportError(failureText(QStringLiteral("the rotator turns from %1° to %2° only: the travel of %3° to %4° "
                                                     "set in Init is not reached past those ends")
                                          .arg(range.minimum)
                                          .arg(range.maximum)
                                          .arg(travel.minimum)
                                          .arg(travel.maximum)));
}

void HamlibDriver::moved(quint64 from, double sent)
{
    if (from != workerId)
        return;
    // Where the rotator goes from now on, until a reading says where it is: a reading, when
    // there is one, is the truth until the next.
    if (!measured)
        setPosition(sent);
    settle(Outcome::Sent);
}

void HamlibDriver::setPosition(double reported)
{
    // Counted on the travel, which may lie a turn away from the model's own range.
    const Travel travel = settings().travel(Hamlib);
    settings().RotatorPosition = modelAzimuth(reported, travel.minimum, travel.maximum);
}

void HamlibDriver::failed(quint64 from, const QString &what)
{
    if (from != workerId)
        return;
    const QString text = failureText(what);
    worker->finish();
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
    // Where the rotator is decides the turn of the next command.
    if (reported)
        setPosition(*reported);
    setMeasured(reported ? std::optional(operatorAzimuth(*reported, s.AZOFFSET_HAMLIB, s.STOP_HAMLIB == SouthStop))
                         : std::nullopt);
    if (reported) {
        readFailureReported = false;
    } else if (!readFailureReported) {
        // Once while the readings fail, not at every period.
        readFailureReported = true;
        hooks.reportError(failureText(failure));
    }
}

void HamlibDriver::ended()
{
    std::erase_if(retired, [](const std::unique_ptr<Worker> &each) { return each->ended(); });
}
