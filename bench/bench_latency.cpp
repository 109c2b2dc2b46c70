// bench_latency: how long a logger datagram and a rotctld request take to become a command on the
// rotator's line (the request beside Hamlib's own rotctld driving a GS-232B line), and what the
// program costs while it only listens.
//
// Usage: bench_latency [--idle-seconds N]   (default 30)

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "platform/wait.h"
#include "tests/support/free_ports.h"
#include "tests/support/gs232_station.h"
#include "tests/support/pseudo_terminal.h"
#include "ui/tform1.h"
#include "ui/up_down.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int Datagrams = 200;
constexpr int Requests = 200;

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

// Notes when the first byte of each expected command reaches the far end of the line.
class LineWatcher
{
public:
    explicit LineWatcher(const PseudoTerminal &line) : line(line), thread([this] { run(); }) {}
    ~LineWatcher()
    {
        stop = true;
        thread.join();
    }

    void expect() { expecting = true; }
    bool arrived() const { return !expecting; }
    Clock::time_point arrivalTime() const { return Clock::time_point(Clock::duration(arrival.load())); }

private:
    void run()
    {
        pollfd ready{line.master, POLLIN, 0};
        while (!stop) {
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            const auto now = Clock::now();
            char chunk[256];
            if (::read(line.master, chunk, sizeof chunk) <= 0)
                continue;
            if (expecting) {
                arrival = now.time_since_epoch().count();
                expecting = false;
            }
        }
    }

    const PseudoTerminal &line;
    std::atomic<bool> stop = false;
    std::atomic<bool> expecting = false;
    std::atomic<Clock::rep> arrival = 0;
    std::thread thread;
};

// Seven degrees apart, so that every command passes the minimum step.
int azimuthOf(int i)
{
    return 10 + (i * 7) % 340;
}

// Sends count requests one at a time, timing each from its sending to its first byte on the line.
// settle runs after each one, before the next is sent.
std::vector<double> latencies(const PseudoTerminal &line, int count, const std::function<void(int)> &send,
                              const std::function<void()> &settle)
{
    std::vector<double> times;
    LineWatcher watcher(line);
    for (int i = 0; i < count; ++i) {
        watcher.expect();
        const auto sent = Clock::now();
        send(azimuthOf(i));
        const auto deadline = sent + std::chrono::seconds(2);
        while (!watcher.arrived() && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (watcher.arrived())
            times.push_back(std::chrono::duration<double, std::milli>(watcher.arrivalTime() - sent).count());
        settle();
    }
    return times;
}

void report(const char *what, const std::vector<double> &times, int count)
{
    std::printf("%s, %zu of %d:\n", what, times.size(), count);
    if (times.empty())
        std::printf("  no command reached the line\n");
    else
        std::printf("  median %.3f ms, 90th percentile %.3f ms\n", percentile(times, 0.5), percentile(times, 0.9));
}


// A rotctld client: one "P" line per request, its answer read before the next one goes.
class RotctldClient
{
public:
    // Retries for a while: a server just started may not listen yet.
    bool connectTo(quint16 port)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline) {
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(500))
                return true;
            socket.abort();
            platform::wait(100);
        }
        return false;
    }
    void send(int azimuth)
    {
        socket.write("P " + QByteArray::number(azimuth) + " 0\n");
        socket.flush();
    }
    // The answer ("RPRT 0"), with the event loop running for a server on this thread.
    void awaitAnswer()
    {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (!socket.canReadLine() && Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            socket.waitForReadyRead(1);
        }
        socket.readAll();
    }

private:
    QTcpSocket socket;
};

// Hamlib's rotctld for a GS-232B on another line, the same requests from the same client.
void measureHamlib()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("rotctld"));
    if (program.isEmpty()) {
        std::printf("Hamlib's rotctld is not installed: its part is skipped.\n");
        return;
    }
    PseudoTerminal line;
    const quint16 port = freeTcpPort();
    QProcess server;
    server.start(program, {QStringLiteral("-m"), QStringLiteral("603"), QStringLiteral("-r"), line.path,
                           QStringLiteral("-t"), QString::number(port)});
    RotctldClient client;
    if (server.waitForStarted() && client.connectTo(port)) {
        const std::vector<double> times = latencies(line, Requests, [&](int azimuth) { client.send(azimuth); }, [&] {
            client.awaitAnswer();
            platform::wait(60);
        });
        report("rotctld P request to first byte on the line, Hamlib's rotctld -m 603 (GS-232B)", times, Requests);
    } else {
        std::printf("Hamlib's rotctld did not start: %s\n", qPrintable(server.errorString()));
    }
    server.terminate();
    server.waitForFinished(2000);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    int idleSeconds = 30;
    const QStringList arguments = application.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--idle-seconds") && i + 1 < arguments.size()) {
            idleSeconds = arguments[++i].toInt();
        } else {
            std::fprintf(stderr, "Usage: bench_latency [--idle-seconds N]\n");
            return 2;
        }
    }

    // GS-232 on a pseudo-terminal as COM3, the listener on a free port, AUTO on.
    Gs232Station station;
    const PseudoTerminal &line = station.line;
    const quint16 port = freeUdpPort();
    Settings &s = settings();
    s.N1mmPort = quint16(port - s.N1mmAntenna);
    s.ROTCTLDPORT = freeTcpPort();
    TForm1 window;
    window.MenuServerN1MM->trigger();
    window.FormActivate();
    window.BitBtnAutoClick();
    window.MenuServerRotctld->trigger();
    if (!station.recorder->messages.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(station.recorder->messages.constFirst().text));
        return 1;
    }

    QUdpSocket sender;
    // The driver's pause after the command ends before the next request.
    const auto pause = [] { platform::wait(60); };
    const std::vector<double> datagrams = latencies(line, Datagrams, [&](int azimuth) {
        sender.writeDatagram("<goazi>" + QByteArray::number(azimuth) + "</goazi>", QHostAddress::LocalHost, port);
    }, pause);
    if (datagrams.empty()) {
        std::fprintf(stderr, "No command reached the line.\n");
        return 1;
    }
    report("Datagram to first byte on the GS-232 line", datagrams, Datagrams);

    RotctldClient client;
    if (!client.connectTo(s.ROTCTLDPORT)) {
        std::fprintf(stderr, "Torvanel's rotctld server does not accept connections.\n");
        return 1;
    }
    // Away from the datagrams' last azimuth, which the first request repeats.
    window.UpDownAzi->setPosition(0);
    pause();
    const std::vector<double> requests = latencies(line, Requests, [&](int azimuth) { client.send(azimuth); }, [&] {
        client.awaitAnswer();
        pause();
    });
    report("rotctld P request to first byte on the line, Torvanel (GS-232)", requests, Requests);
    measureHamlib();

    // The program's own message loop, as it runs between datagrams.
    QEventLoop idle;
    QTimer::singleShot(idleSeconds * 1000, &idle, &QEventLoop::quit);
    const double before = cpuSeconds();
    idle.exec();
    const double used = cpuSeconds() - before;
    std::printf("CPU time over %d s idle with the listener open: %.3f s (%.3f %%)\n", idleSeconds, used,
                idleSeconds > 0 ? 100.0 * used / idleSeconds : 0.0);
    return 0;
}
