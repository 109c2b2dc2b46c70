#include "platform/close_signals.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

namespace platform {

namespace {

// The handler may only write to the pair; the notifier reads it on the user-interface thread.
int signalPair[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPair[0], &byte, 1);
}

constexpr int closingSignals[] = {SIGTERM, SIGINT, SIGHUP};

} // namespace

CloseSignals::CloseSignals(QObject *parent) : QObject(parent)
{
    if (signalPair[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPair) != 0)
        return;
    notifier = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        while (::read(signalPair[1], bytes, sizeof bytes) > 0) {
        }
        request();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : closingSignals)
        ::sigaction(number, &action, nullptr);
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { request(); },
                Qt::DirectConnection);
    }
}

CloseSignals::~CloseSignals()
{
    for (int number : closingSignals)
        ::signal(number, SIG_DFL);
}

void CloseSignals::request()
{
    emit closeRequested();
}

} // namespace platform
