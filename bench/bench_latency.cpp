// bench_latency: how long a logger datagram takes to become a command on the rotator's line, and
// what the program costs while it only listens.
//
// Usage: bench_latency [--idle-seconds N]   (default 30)

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "platform/serial_names.h"
#include "platform/ui_services.h"
#include "platform/wait.h"
#include "tests/support/pseudo_terminal.h"
#include "ui/tform1.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int Datagrams = 200;

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
    QTemporaryDir parent;
    PseudoTerminal line;
    line.linkAs(parent.path(), 3);
    platform::setComportsParent(parent.path());
    platform::ScopedRecordingUi quiet;
    quint16 port = 0;
    {
        QUdpSocket probe;
        probe.bind(QHostAddress::AnyIPv4, 0);
        port = probe.localPort();
    }
    Settings &s = settings();
    s.N1mmPort = quint16(port - s.N1mmAntenna);
    s.ANT = GS232;
    s.PORT_GS232 = 2;
    TForm1 window;
    window.MenuServerN1MM->trigger();
    window.FormActivate();
    window.BitBtnAutoClick();
    if (!quiet->messages.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(quiet->messages.constFirst().text));
        return 1;
    }

    std::vector<double> latencies;
    {
        LineWatcher watcher(line);
        QUdpSocket sender;
        for (int i = 0; i < Datagrams; ++i) {
            // Seven degrees apart, so that every command passes the minimum step.
            const QByteArray datagram = "<goazi>" + QByteArray::number(10 + (i * 7) % 340) + "</goazi>";
            watcher.expect();
            const auto sent = Clock::now();
            sender.writeDatagram(datagram, QHostAddress::LocalHost, port);
            const auto deadline = sent + std::chrono::seconds(2);
            while (!watcher.arrived() && Clock::now() < deadline)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (watcher.arrived())
                latencies.push_back(std::chrono::duration<double, std::milli>(watcher.arrivalTime() - sent).count());
            // The driver's pause after the command ends before the next datagram.
            platform::wait(60);
        }
    }
    if (latencies.empty()) {
        std::fprintf(stderr, "No command reached the line.\n");
        return 1;
    }
    std::printf("Datagram to first byte on the GS-232 line, %zu of %d datagrams:\n", latencies.size(), Datagrams);
    std::printf("  median %.3f ms, 90th percentile %.3f ms\n", percentile(latencies, 0.5),
                percentile(latencies, 0.9));

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
