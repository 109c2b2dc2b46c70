// bench_latency: how long a peer waits for Torvanel, run as a process of its own, to put a command
// on its rotator's line, beside Hamlib's rotctld doing the same work on a line of its own, both
// timed the same way from outside; the same through Torvanel's Hamlib interface (a second Torvanel
// driving a GS-232B through Hamlib); then a logger's flood, the repaints it costs, what the
// program costs while it only listens, and how far behind a turning rotator the Hamlib
// interface's reading is.
//
// Usage: bench_latency [--idle-seconds N] [--program PATH]
//        (30 s by default; the torvanel built beside the benchmark by default)

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tests/support/free_ports.h"
#include "tests/support/pseudo_terminal.h"
// Last: Xlib's macros would break the headers after them.
#include "tests/support/x_desktop.h"
#include <X11/Xproto.h>
#include <X11/extensions/record.h>
#include <X11/extensions/shmproto.h>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int Samples = 200;
constexpr int FloodSize = 20000;
// Past the GS-232 driver's 50 ms pause after a command, so that every request finds both idle.
constexpr auto Settle = 60ms;
// A line silent this long has nothing more to say.
constexpr auto Quiet = 2s;

// What both sides write for an azimuth: Torvanel's GS-232 with elevation, Hamlib's GS-232B.
QByteArray command(int azimuth)
{
    return "W" + QByteArray::number(azimuth).rightJustified(3, '0') + " 000\r";
}

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Reads the far end of a line on a thread of its own, noting when each chunk came.
class LineWatcher
{
public:
    explicit LineWatcher(const PseudoTerminal &line) : master(line.master), reader([this] { run(); }) {}
    ~LineWatcher()
    {
        stop = true;
        reader.join();
    }

    // Forgets what came so far and watches for the text.
    void await(const QByteArray &text)
    {
        const std::lock_guard lock(mutex);
        awaited = text;
        bytes.clear();
        chunks.clear();
        found.reset();
    }

    // When the awaited text's first byte came; nothing once the line stayed quiet.
    std::optional<Clock::time_point> arrival()
    {
        std::unique_lock lock(mutex);
        for (qsizetype size = -1; !found && bytes.size() != size;) {
            size = bytes.size();
            changed.wait_for(lock, Quiet, [&] { return found || bytes.size() != size; });
        }
        return found;
    }

    QByteArray received()
    {
        const std::lock_guard lock(mutex);
        return bytes;
    }

    std::optional<Clock::time_point> lastChunk()
    {
        const std::lock_guard lock(mutex);
        return chunks.empty() ? std::nullopt : std::optional(chunks.back().second);
    }

private:
    void run()
    {
        pollfd ready{master, POLLIN, 0};
        while (!stop) {
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            const auto now = Clock::now();
            char chunk[256];
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0)
                continue;
            const std::lock_guard lock(mutex);
            chunks.emplace_back(bytes.size(), now);
            bytes.append(chunk, n);
            // The text may have begun in an earlier chunk.
            const qsizetype at = found ? -1 : bytes.indexOf(awaited, std::max<qsizetype>(0, chunks.back().first - awaited.size()));
            for (auto each = chunks.rbegin(); at >= 0 && !found; ++each) {
                if (each->first <= at)
                    found = each->second;
            }
            changed.notify_all();
        }
    }

    const int master;
    std::mutex mutex;
    std::condition_variable changed;
    QByteArray awaited;
    QByteArray bytes;
    std::vector<std::pair<qsizetype, Clock::time_point>> chunks;
    std::optional<Clock::time_point> found;
    std::atomic<bool> stop = false;
    std::thread reader;
};

// Milliseconds from just before the send to the first byte of the command on the line.
std::optional<double> latency(LineWatcher &line, int azimuth, const std::function<void(int)> &send)
{
    line.await(command(azimuth));
    const auto sent = Clock::now();
    send(azimuth);
    const auto arrived = line.arrival();
    return arrived ? std::optional(milliseconds(*arrived - sent)) : std::nullopt;
}

// A rotctld client: one "P" line per request, its answer read before the next one goes.
class RotctldClient
{
public:
    // Retries for a while: a server just started may not listen yet.
    bool connectTo(quint16 port)
    {
        for (const auto deadline = Clock::now() + 10s; Clock::now() < deadline; std::this_thread::sleep_for(100ms)) {
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(500)) {
                socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
                return true;
            }
            socket.abort();
        }
        return false;
    }
    void send(int azimuth)
    {
        socket.write("P " + QByteArray::number(azimuth) + " 0\n");
        socket.flush();
    }
    void awaitAnswer()
    {
        while (!socket.canReadLine() && socket.waitForReadyRead(2000)) {
        }
        socket.readAll();
    }
    // The azimuth "p" answers; none when no answer came.
    std::optional<double> position()
    {
        socket.write("p\n");
        socket.flush();
        QByteArray answer;
        while (answer.count('\n') < 2 && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(2000)))
            answer += socket.readAll();
        bool ok = false;
        const double azimuth = answer.left(answer.indexOf('\n')).toDouble(&ok);
        return ok ? std::optional(azimuth) : std::nullopt;
    }

private:
    QTcpSocket socket;
};

// A GS-232B at the far end of a line, turning clockwise at a steady pace from north: it answers
// each position query "C2" with where it points, on a thread of its own.
class TurningGs232b
{
public:
    static constexpr double DegreesPerSecond = 10;

    TurningGs232b() : start(Clock::now()), answerer([this] { run(); }) {}
    ~TurningGs232b()
    {
        stop = true;
        answerer.join();
    }

    double azimuthAt(Clock::time_point when) const
    {
        return std::fmod(DegreesPerSecond * std::chrono::duration<double>(when - start).count(), 360.0);
    }
    // The median time between two position queries, in milliseconds.
    double queryPeriod()
    {
        const std::lock_guard lock(mutex);
        std::vector<double> periods;
        for (size_t i = 1; i < queries.size(); ++i)
            periods.push_back(milliseconds(queries[i] - queries[i - 1]));
        std::sort(periods.begin(), periods.end());
        return periods.empty() ? 0 : periods[periods.size() / 2];
    }

    PseudoTerminal line;

private:
    void run()
    {
        pollfd ready{line.master, POLLIN, 0};
        QByteArray received;
        while (!stop) {
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char chunk[256];
            const ssize_t n = ::read(line.master, chunk, sizeof chunk);
            if (n <= 0)
                continue;
            received.append(chunk, n);
            for (qsizetype at; (at = received.indexOf("C2\r")) >= 0;) {
                received.remove(0, at + 3);
                const auto now = Clock::now();
                const QByteArray answer = "AZ=" + QByteArray::number(int(azimuthAt(now))).rightJustified(3, '0') + "  EL=000\r\n";
                [[maybe_unused]] const ssize_t written = ::write(line.master, answer.constData(), size_t(answer.size()));
                const std::lock_guard lock(mutex);
                queries.push_back(now);
            }
            received = received.right(2);
        }
    }

    const Clock::time_point start;
    std::mutex mutex;
    std::vector<Clock::time_point> queries;
    std::atomic<bool> stop = false;
    std::thread answerer;
};

void sendDatagram(QUdpSocket &logger, quint16 port, int azimuth)
{
    const QByteArray text = "<goazi>" + QByteArray::number(azimuth) + "</goazi>";
    while (logger.writeDatagram(text, QHostAddress::LocalHost, port) < 0 && logger.error() == QAbstractSocket::TemporaryError) {
    }
}

// Counts from the X server when a client's window is redrawn on screen: a repaint of a Qt window
// reaches the server as one run of image requests into it (the backing store's flush).
class RepaintCounter
{
public:
    RepaintCounter(Display *control, Window window) : control(control), window(window)
    {
        int event, error;
        XQueryExtension(control, "MIT-SHM", &shmOpcode, &event, &error);
        // Every request of the client, so that the end of each run shows.
        XRecordRange *everything = XRecordAllocRange();
        everything->core_requests = {X_CreateWindow, X_NoOperation};
        everything->ext_requests.ext_major = {128, 255};
        everything->ext_requests.ext_minor = {0, 255};
        // Any resource of a client names the client.
        XRecordClientSpec client = window;
        context = XRecordCreateContext(control, 0, &client, 1, &everything, 1);
        XFree(everything);
        XSync(control, False);
        data = XOpenDisplay(DisplayString(control));
        recorder = std::thread([this] { XRecordEnableContext(data, context, intercept, reinterpret_cast<XPointer>(this)); });
        XDesktop::waitUntil([this] { return started.load(); }, 2000);
    }
    ~RepaintCounter()
    {
        XRecordDisableContext(control, context);
        XSync(control, False);
        recorder.join();
        XRecordFreeContext(control, context);
        XCloseDisplay(data);
    }

    bool recording() const { return started; }
    int between(Clock::time_point from, Clock::time_point to)
    {
        const std::lock_guard lock(mutex);
        return int(std::count_if(repaints.begin(), repaints.end(), [&](auto t) { return t >= from && t <= to; }));
    }

private:
    static void intercept(XPointer self, XRecordInterceptData *record)
    {
        auto &counter = *reinterpret_cast<RepaintCounter *>(self);
        if (record->category == XRecordStartOfData)
            counter.started = true;
        if (record->category == XRecordFromClient && record->data_len >= 3) {
            const unsigned char *request = record->data;
            const bool copy = request[0] == X_CopyArea;
            const bool image = request[0] == X_PutImage || (request[0] == counter.shmOpcode && request[1] == X_ShmPutImage);
            uint32_t target = 0;
            if (copy || image)
                std::memcpy(&target, request + (copy ? 8 : 4), sizeof target);
            const bool drawing = target == counter.window;
            if (drawing && !counter.inRun) {
                const std::lock_guard lock(counter.mutex);
                counter.repaints.push_back(Clock::now());
            }
            counter.inRun = drawing;
        }
        XRecordFreeData(record);
    }

    Display *const control;
    const Window window;
    Display *data = nullptr;
    int shmOpcode = -1;
    XRecordContext context = 0;
    std::atomic<bool> started = false;
    bool inRun = false;
    std::mutex mutex;
    std::vector<Clock::time_point> repaints;
    std::thread recorder;
};

// The user and system time a process has used so far, read from outside it.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // After the name in parentheses: the state, then utime and stime as the 12th and 13th fields.
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// Datagrams the kernel dropped for want of room in the IPv4 listener's receive queue.
qint64 udpDrops(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray local = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 13 && fields[1].endsWith(local))
            return fields.last().toLongLong();
    }
    return 0;
}

// A UDP port free on both families, below the settings' bound of 50000 for the listener.
quint16 freeListenerPort()
{
    for (;;) {
        const auto port = quint16(20000 + QRandomGenerator::global()->bounded(29000));
        QUdpSocket ipv4, ipv6;
        if (ipv4.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress)
            && (ipv6.bind(QHostAddress::AnyIPv6, port, QAbstractSocket::DontShareAddress)
                || ipv6.error() != QAbstractSocket::AddressInUseError))
            return port;
    }
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

struct Series {
    const char *what;
    std::vector<double> times;
    void add(std::optional<double> time)
    {
        if (time)
            times.push_back(*time);
    }
};

void printRow(const Series &series, const Series &reference)
{
    std::printf("%-38s %3zu/%d", series.what, series.times.size(), Samples);
    if (series.times.empty() || reference.times.empty()) {
        std::printf("   no command reached the line\n");
        return;
    }
    const double median = percentile(series.times, 0.5), ninetieth = percentile(series.times, 0.9);
    std::printf("  %9.3f  %9.3f", median, ninetieth);
    if (&series != &reference)
        std::printf("  %8.2f  %8.2f", median / percentile(reference.times, 0.5), ninetieth / percentile(reference.times, 0.9));
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    // Torvanel draws on an X server of the benchmark's own, where its repaints can be counted.
    XDesktop desktop;
    const bool onX = desktop.start();
    QCoreApplication application(argc, argv);
    int idleSeconds = 30;
    QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/../torvanel");
    const QStringList arguments = application.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--idle-seconds") && i + 1 < arguments.size()) {
            idleSeconds = arguments[++i].toInt();
        } else if (arguments[i] == QLatin1String("--program") && i + 1 < arguments.size()) {
            built = arguments[++i];
        } else {
            std::fprintf(stderr, "Usage: bench_latency [--idle-seconds N] [--program PATH]\n");
            return 2;
        }
    }

    // Torvanel in a directory of its own: GS-232 at 9600 baud on COM3, AUTO on, every change a
    // command, the logger's listener and the rotctld server on free ports.
    QTemporaryDir home;
    const QString program = home.filePath(QStringLiteral("torvanel"));
    if (!QFile::copy(built, program)) {
        std::fprintf(stderr, "No program at %s\n", qPrintable(built));
        return 1;
    }
    QFile(program).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    PseudoTerminal torvanelLine, hamlibLine;
    torvanelLine.linkAs(home.path(), 3);
    const quint16 listenerPort = freeListenerPort();
    const quint16 torvanelPort = freeTcpPort();
    QFile ini(home.filePath(QStringLiteral("Torvanel.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[TORVANEL  V2.4.1DX]\r\nLANGUAGE=ENGLISH\r\nAUTO=1\r\nSERVER=N1MM\r\nPORTN1MM="
              + QByteArray::number(listenerPort - 1) + "\r\nANTN1MM=1\r\nANT=GS232\r\n[GS-232]\r\nPORT_GS232=3\r\n"
              "BAUD_GS232=9600\r\nSTOP_GS232=N\r\nSTEP_GS232=0\r\nAZOFFSET_GS=0\r\nEL_GS232=Y\r\nROTCTLD=1\r\n"
              "ROTCTLDPORT=" + QByteArray::number(torvanelPort) + "\r\n");
    ini.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), onX ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    if (onX)
        desktop.windowManagerRuns();
    QProcess torvanel;
    torvanel.setProcessEnvironment(environment);
    torvanel.setProcessChannelMode(QProcess::ForwardedChannels);
    torvanel.start(program, {});

    // A second Torvanel, in a directory of its own and off the X server (the repaints counted are
    // the first one's): its Hamlib interface drives a GS-232B (model 603) at 9600 baud on COM4,
    // every change a command, no position read-back, as Hamlib's rotctld below.
    QTemporaryDir hamlibHome;
    const QString hamlibProgram = hamlibHome.filePath(QStringLiteral("torvanel"));
    QFile::copy(built, hamlibProgram);
    QFile(hamlibProgram).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    PseudoTerminal throughHamlibLine;
    throughHamlibLine.linkAs(hamlibHome.path(), 4);
    const quint16 throughHamlibPort = freeTcpPort();
    QFile hamlibIni(hamlibHome.filePath(QStringLiteral("Torvanel.ini")));
    hamlibIni.open(QIODevice::WriteOnly);
    hamlibIni.write("[TORVANEL  V2.4.1DX]\r\nLANGUAGE=ENGLISH\r\nANT=HAMLIB\r\nROTCTLD=1\r\nROTCTLDPORT="
                    + QByteArray::number(throughHamlibPort) + "\r\n[HAMLIB]\r\nHAMLIB_MODEL=603\r\nPORT_HAMLIB=4\r\n"
                    "BAUD_HAMLIB=9600\r\nSTEP_HAMLIB=0\r\nHAMLIB_POLL=0\r\n");
    hamlibIni.close();
    QProcessEnvironment offscreen = environment;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    offscreen.insert(QStringLiteral("XDG_RUNTIME_DIR"), hamlibHome.path());
    QProcess throughHamlib;
    throughHamlib.setProcessEnvironment(offscreen);
    throughHamlib.setProcessChannelMode(QProcess::ForwardedChannels);
    throughHamlib.start(hamlibProgram, {});

    // Hamlib's rotctld on its own line. It waits for no answer to a W command (it only pauses
    // after each write), so the benchmark answers neither side.
    const quint16 hamlibPort = freeTcpPort();
    QProcess hamlib;
    hamlib.setProcessChannelMode(QProcess::ForwardedChannels);
    hamlib.start(QStringLiteral("rotctld"), {QStringLiteral("-m"), QStringLiteral("603"), QStringLiteral("-r"),
                                             hamlibLine.path, QStringLiteral("-s"), QStringLiteral("9600"),
                                             QStringLiteral("-t"), QString::number(hamlibPort), QStringLiteral("-C"),
                                             QStringLiteral("timeout=50,retry=0")});
    if (!torvanel.waitForStarted() || !throughHamlib.waitForStarted() || !hamlib.waitForStarted()) {
        std::fprintf(stderr, "Could not start %s.\n",
                     hamlib.state() == QProcess::NotRunning ? "Hamlib's rotctld (libhamlib-utils)" : "torvanel");
        return 1;
    }
    RotctldClient torvanelClient, hamlibClient, throughHamlibClient;
    if (!torvanelClient.connectTo(torvanelPort) || !hamlibClient.connectTo(hamlibPort)
        || !throughHamlibClient.connectTo(throughHamlibPort)) {
        std::fprintf(stderr, "A rotctld server does not accept connections.\n");
        return 1;
    }
    LineWatcher torvanelWatcher(torvanelLine), hamlibWatcher(hamlibLine), throughHamlibWatcher(throughHamlibLine);
    QUdpSocket logger;
    const auto datagram = [&](int azimuth) { sendDatagram(logger, listenerPort, azimuth); };
    const auto torvanelRequest = [&](int azimuth) { torvanelClient.send(azimuth); };
    const auto hamlibRequest = [&](int azimuth) { hamlibClient.send(azimuth); };
    const auto throughHamlibRequest = [&](int azimuth) { throughHamlibClient.send(azimuth); };
    // The first activation has started the listener once a datagram gets through.
    for (int tries = 0; tries < 5 && !latency(torvanelWatcher, 1 + tries, datagram); ++tries) {
    }

    // Interleaved, so that both sides meet the same machine. Each side's azimuths follow one
    // another seven degrees apart, so that every request is a change.
    Series datagrams{"a) Torvanel, N1MM datagram over UDP", {}};
    Series torvanelRequests{"b) Torvanel, rotctld P over TCP", {}};
    Series hamlibRequests{"   Hamlib rotctld -m 603, P over TCP", {}};
    Series throughHamlibRequests{"e) Torvanel via Hamlib 603, rotctld P", {}};
    int torvanelAzimuth = 10, hamlibAzimuth = 10, throughHamlibAzimuth = 10;
    const auto next = [](int &azimuth) { return azimuth = 10 + (azimuth + 7 - 10) % 340; };
    for (int i = 0; i < Samples; ++i) {
        datagrams.add(latency(torvanelWatcher, next(torvanelAzimuth), datagram));
        std::this_thread::sleep_for(Settle);
        torvanelRequests.add(latency(torvanelWatcher, next(torvanelAzimuth), torvanelRequest));
        torvanelClient.awaitAnswer();
        std::this_thread::sleep_for(Settle);
        hamlibRequests.add(latency(hamlibWatcher, next(hamlibAzimuth), hamlibRequest));
        hamlibClient.awaitAnswer();
        std::this_thread::sleep_for(Settle);
        throughHamlibRequests.add(latency(throughHamlibWatcher, next(throughHamlibAzimuth), throughHamlibRequest));
        throughHamlibClient.awaitAnswer();
        std::this_thread::sleep_for(Settle);
    }
    std::printf("Torvanel: %s, %s, GS-232 at 9600 baud on a pseudo-terminal.\n"
                "Hamlib's rotctld -m 603 (GS-232B) at 9600 baud on another, in the same run. Both timed by the\n"
                "benchmark from just before each send to the first byte of the command read from the line\n"
                "(monotonic clock, outside both processes), %d requests each, interleaved.\n\n",
                qPrintable(built), onX ? "on Xvfb with openbox" : "offscreen", Samples);
    std::printf("%-38s %7s  %9s  %9s  %8s  %8s\n", "request to first byte on the line", "got", "median ms", "90th ms",
                "median/H", "90th/H");
    printRow(datagrams, hamlibRequests);
    printRow(torvanelRequests, hamlibRequests);
    printRow(hamlibRequests, hamlibRequests);
    printRow(throughHamlibRequests, hamlibRequests);
    std::printf("(/H: Torvanel / Hamlib's rotctld P, the peer's nearest same work; Hamlib has no logger listener.\n"
                " e) is a second Torvanel whose Hamlib interface drives the GS-232B through Hamlib, as rotctld does)\n\n");

    // A logger's flood, azimuths cycling; only the last datagram asks for the newest one.
    const Window mainWindow = onX ? desktop.waitForWindow([](const QString &title) { return title.startsWith(QLatin1String("TORVANEL")); }) : 0;
    std::optional<RepaintCounter> repaints;
    int recordMajor = 0, recordMinor = 0;
    if (mainWindow && XRecordQueryVersion(desktop.x, &recordMajor, &recordMinor))
        repaints.emplace(desktop.x, mainWindow);
    constexpr int newest = 355;
    torvanelWatcher.await(command(newest));
    const qint64 dropsBefore = udpDrops(listenerPort);
    const auto floodStart = Clock::now();
    for (int i = 0; i < FloodSize - 1; ++i)
        datagram(i % 350);
    const auto floodSent = Clock::now();
    const qint64 floodDrops = udpDrops(listenerPort) - dropsBefore;
    // The newest azimuth must reach the program: the last datagram goes again until the kernel
    // queues it rather than drops it (on loopback it decides before the send returns).
    Clock::time_point last;
    int tries = 0;
    for (bool queued = false; !queued; ++tries) {
        const qint64 drops = udpDrops(listenerPort);
        last = Clock::now();
        datagram(newest);
        queued = udpDrops(listenerPort) == drops;
    }
    const auto arrived = torvanelWatcher.arrival();
    const auto floodEnd = arrived ? *arrived : torvanelWatcher.lastChunk().value_or(last);
    std::this_thread::sleep_for(Quiet);
    const QByteArray floodBytes = torvanelWatcher.received();
    const qsizetype newestAt = floodBytes.indexOf(command(newest));
    std::printf("c) flood of %d datagrams, azimuths cycling: %d sent in %.1f ms, the kernel dropped %lld of them\n"
                "   (receive queue full); the last one, sent again until queued, went in at try %d, %.1f ms later\n",
                FloodSize, FloodSize - 1, milliseconds(floodSent - floodStart), qlonglong(floodDrops), tries,
                milliseconds(last - floodSent));
    if (arrived)
        std::printf("   the newest azimuth's command %.3f ms after the last datagram\n", milliseconds(*arrived - last));
    else
        std::printf("   the newest azimuth's command never came; the line's last byte %.3f ms after the last datagram\n",
                    milliseconds(floodEnd - last));
    std::printf("   commands on the line: %lld, %lld of them after the newest\n", qlonglong(floodBytes.count('W')),
                qlonglong(newestAt < 0 ? 0 : floodBytes.mid(newestAt + 1).count('W')));
    if (repaints && repaints->recording()) {
        const int count = repaints->between(floodStart, floodEnd);
        std::printf("d) main window repainted %d times from the first datagram to %s: %.1f per second\n"
                    "   (flushes into the window, counted by the X server's RECORD extension)\n",
                    count, arrived ? "the newest command" : "the line's last byte",
                    count / std::max(1e-3, milliseconds(floodEnd - floodStart) / 1000));
    } else {
        std::printf("d) repaints not counted: %s\n", onX ? "the program's main window or the X server's RECORD extension is missing"
                                                          : "no X server (Xvfb) to count them on");
    }
    repaints.reset();

    // Once the command lamp has stopped blinking (3.6 s after the last command).
    std::this_thread::sleep_for(2s);
    const double torvanelBefore = cpuSeconds(torvanel.processId()), hamlibBefore = cpuSeconds(hamlib.processId());
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double torvanelUsed = cpuSeconds(torvanel.processId()) - torvanelBefore;
    const double hamlibUsed = cpuSeconds(hamlib.processId()) - hamlibBefore;
    std::printf("\nCPU time over %d s idle, listener and servers open: Torvanel %.2f s (%.2f %%), Hamlib's rotctld %.2f s\n",
                idleSeconds, torvanelUsed, idleSeconds > 0 ? 100.0 * torvanelUsed / idleSeconds : 0.0, hamlibUsed);

    // A third Torvanel, its Hamlib interface reading a turning GS-232B (model 603, 9600 baud) back
    // with the default period: how far behind the rotator its rotctld's "p" answers, sampled every
    // 50 ms for 20 s.
    QTemporaryDir lagHome;
    const QString lagProgram = lagHome.filePath(QStringLiteral("torvanel"));
    QFile::copy(built, lagProgram);
    QFile(lagProgram).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    TurningGs232b turning;
    turning.line.linkAs(lagHome.path(), 4);
    const quint16 lagPort = freeTcpPort();
    QFile lagIni(lagHome.filePath(QStringLiteral("Torvanel.ini")));
    lagIni.open(QIODevice::WriteOnly);
    lagIni.write("[TORVANEL  V2.4.1DX]\r\nLANGUAGE=ENGLISH\r\nANT=HAMLIB\r\nROTCTLD=1\r\nROTCTLDPORT="
                 + QByteArray::number(lagPort) + "\r\n[HAMLIB]\r\nHAMLIB_MODEL=603\r\nPORT_HAMLIB=4\r\nBAUD_HAMLIB=9600\r\n");
    lagIni.close();
    offscreen.insert(QStringLiteral("XDG_RUNTIME_DIR"), lagHome.path());
    QProcess reading;
    reading.setProcessEnvironment(offscreen);
    reading.setProcessChannelMode(QProcess::ForwardedChannels);
    reading.start(lagProgram, {});
    RotctldClient lagClient;
    std::vector<double> lags;
    if (reading.waitForStarted() && lagClient.connectTo(lagPort)) {
        std::this_thread::sleep_for(2s);
        for (const auto end = Clock::now() + 20s; Clock::now() < end; std::this_thread::sleep_for(50ms)) {
            const std::optional<double> answered = lagClient.position();
            const double truth = turning.azimuthAt(Clock::now());
            if (answered)
                lags.push_back(std::remainder(truth - *answered, 360.0));
        }
    }
    if (lags.empty())
        std::printf("\nf) read-back lag: no position answered\n");
    else
        std::printf("\nf) read-back lag, GS-232B through Hamlib turning %.0f deg/s, default period: queried every %.0f ms;\n"
                    "   rotctld p behind the rotator by %.2f deg (median), %.2f deg (90th), %zu samples\n",
                    TurningGs232b::DegreesPerSecond, turning.queryPeriod(), percentile(lags, 0.5), percentile(lags, 0.9),
                    lags.size());
    ::kill(pid_t(reading.processId()), SIGTERM);
    if (!reading.waitForFinished(15000))
        reading.kill();

    ::kill(pid_t(torvanel.processId()), SIGTERM);
    ::kill(pid_t(throughHamlib.processId()), SIGTERM);
    hamlib.terminate();
    if (!torvanel.waitForFinished(15000))
        torvanel.kill();
    if (!throughHamlib.waitForFinished(15000))
        throughHamlib.kill();
    hamlib.waitForFinished(5000);
    return 0;
}
