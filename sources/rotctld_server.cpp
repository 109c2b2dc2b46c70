#include "sources/rotctld_server.h"

#include "platform/error.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include <QPointer>
#include <QScopedValueRollback>
#include <QSocketNotifier>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

// One client, on a bare socket so that a client that has finished sending still gets every answer
// before the connection closes. Its commands are carried out one at a time, in order: while one
// awaits its outcome, the client's further bytes wait in the socket and other clients are served.
// A client is served in steps (a read, a line, a command), a bounded number per turn of the event
// loop, so that however much one client sends at once, the others and the rest of the program
// get their turn. An answer that comes late finds its connection through a QPointer, so a
// connection dropped meanwhile (or its server) is simply not answered.
class RotctldServer::Connection : public QObject
{
public:
    Connection(int descriptor, const QHostAddress &peer, const rotctld::Rotator &rotator, QObject *parent)
        : QObject(parent), descriptor(descriptor), peer(peer), rotator(rotator)
    {
        // Each turn's answers leave at its end: Nagle's algorithm would hold the next ones until
        // the client's delayed acknowledgement, tens of milliseconds later.
        const int noDelay = 1;
        ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        writable.setEnabled(false);
        connect(&readable, &QSocketNotifier::activated, this, &Connection::work);
        connect(&writable, &QSocketNotifier::activated, this, &Connection::work);
    }

    ~Connection() override { closeSocket(); }

    bool isOpen() const { return descriptor >= 0; }
    bool isBusy() const { return awaiting; }
    const QHostAddress &address() const { return peer; }
    // Whether the client has ever sent a whole line, and when it last did (else when it came).
    bool hasSpoken() const { return spoken; }
    std::chrono::steady_clock::time_point lastLine() const { return lastLineTime; }

    // Closes the socket at once; an answer still awaited is then dropped when it comes.
    void drop()
    {
        closeSocket();
        if (!dropped)
            deleteLater();
        dropped = true;
    }

private:
    // Steps one client may take in a turn of the event loop.
    static constexpr int StepsPerTurn = 64;

    void closeSocket()
    {
        if (!isOpen())
            return;
        readable.setEnabled(false);
        writable.setEnabled(false);
        ::close(descriptor);
        descriptor = -1;
    }

    // Serves the client for a turn: until a command awaits its outcome, the client has too many
    // answers to take first (its answers then stay whole and in order), nothing is left for now,
    // or its steps for this turn are taken.
    void work()
    {
        for (int steps = 0; mayGoOn() && step();) {
            if (++steps == StepsPerTurn) {
                resumeLater();
                break;
            }
        }
        flush();
        settle();
    }

    // A client with too many answers unsent is read no further until they drain.
    bool mayGoOn()
    {
        if (unsent.size() > MaxUnreadOutput)
            flush();
        return isOpen() && !awaiting && unsent.size() <= MaxUnreadOutput;
    }

    // One command, one line or one read; false when nothing can be done until the client sends more.
    bool step()
    {
        if (!commands.isEmpty()) {
            carryOut(commands.takeFirst());
            return true;
        }
        return takeLine() || (!inputEnded && receive());
    }

    void carryOut(const rotctld::Request &request)
    {
        if (rotctld::isQuit(request)) {
            commands.clear();
            pending.clear();
            discarding = false;
            inputEnded = true;
            return;
        }
        awaiting = true;
        const quint64 ticket = ++command;
        const QScopedValueRollback inside(carryingOut, true);
        const QScopedValueRollback serving(static_cast<RotctldServer *>(parent())->serving, peer);
        rotctld::answer(request, rotator, [self = QPointer<Connection>(this), ticket](const QByteArray &reply) {
            if (self)
                self->answered(ticket, reply);
        });
    }

    // Takes the answer as soon as it is known. One that comes later is sent at once and resumes
    // the client's commands from the event loop, never inside whoever gives the outcome: that may
    // be the rotator carrying out another client's command, which a newer azimuth overtakes.
    void answered(quint64 ticket, const QByteArray &reply)
    {
        // Only the command awaited, and only once.
        if (!awaiting || ticket != command)
            return;
        awaiting = false;
        if (!isOpen())
            return;
        send(reply);
        if (!carryingOut) {
            flush();
            resumeLater();
        }
    }

    void resumeLater()
    {
        if (std::exchange(resumeQueued, true))
            return;
        QMetaObject::invokeMethod(this, [this] {
            resumeQueued = false;
            work();
        }, Qt::QueuedConnection);
    }

    // Turns the next whole line received into commands: LF, CR or CR LF end a line, as Hamlib
    // reads them (the empty line between CR and LF is blank). A line longer than the limit is
    // answered as an invalid argument at once and the rest of it, up to its end, thrown away. A
    // last line without its end is carried out once the client has finished sending, as Hamlib's
    // rotctld does. False when no line is whole yet.
    bool takeLine()
    {
        const auto end = std::find_if(pending.cbegin(), pending.cend(), [](char c) { return c == '\n' || c == '\r'; });
        const bool whole = end != pending.cend();
        if (!whole && pending.size() > MaxLineLength) {
            if (!std::exchange(discarding, true))
                send(rotctld::report(rotctld::Status::InvalidArgument));
            pending.clear();
            return true;
        }
        if (!whole && (!inputEnded || pending.isEmpty()))
            return false;
        const qsizetype length = end - pending.cbegin();
        const QByteArray line = pending.left(length);
        pending.remove(0, length + 1);
        if (std::exchange(discarding, false))
            return true;
        spoken = true;
        lastLineTime = std::chrono::steady_clock::now();
        commands = rotctld::parseLine(line);
        return true;
    }

    // As much of the client's bytes as may make a line; false when none are there.
    bool receive()
    {
        char more[MaxLineLength + 1];
        const ssize_t size = ::recv(descriptor, more, sizeof more - size_t(pending.size()), MSG_DONTWAIT);
        if (size > 0)
            pending.append(more, size);
        else if (size == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            inputEnded = true; // the client has sent all it will, or is gone
        else
            return errno == EINTR;
        return true;
    }

    void send(const QByteArray &reply)
    {
        if (!sendFailed)
            unsent += reply;
    }

    // As much as the socket takes now; the write notifier brings the rest.
    void flush()
    {
        while (isOpen() && !unsent.isEmpty()) {
            const ssize_t size = ::send(descriptor, unsent.constData(), size_t(unsent.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (size < 0 && errno == EINTR)
                continue;
            if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            if (size < 0) {
                // The client is gone; the lines it sent are still carried out.
                sendFailed = true;
                unsent.clear();
                break;
            }
            unsent.remove(0, size);
        }
        if (isOpen())
            writable.setEnabled(!unsent.isEmpty());
    }

    // Closes the connection when the client will send no more and has every answer, otherwise
    // reads on unless a command awaits its outcome, the client has too many answers to take
    // first, or its turn is still to come.
    void settle()
    {
        const bool finished = inputEnded && commands.isEmpty() && pending.isEmpty() && !awaiting && unsent.isEmpty();
        if (!isOpen() || finished)
            drop();
        else
            readable.setEnabled(!inputEnded && !awaiting && !resumeQueued && unsent.size() <= MaxUnreadOutput);
    }

    int descriptor;
    QSocketNotifier readable{descriptor, QSocketNotifier::Read};
    QSocketNotifier writable{descriptor, QSocketNotifier::Write};
    const QHostAddress peer;
    const rotctld::Rotator &rotator;
    bool spoken = false;
    std::chrono::steady_clock::time_point lastLineTime = std::chrono::steady_clock::now();
    QByteArray pending;               // received, not yet a whole line
    bool discarding = false;          // the rest of an over-long line is thrown away
    QList<rotctld::Request> commands; // the rest of the line being carried out
    QByteArray unsent;
    quint64 command = 0;              // the number of the latest command carried out
    bool awaiting = false;            // its answer is still to come
    bool carryingOut = false;         // inside the rotator's call
    bool resumeQueued = false;        // the client's next turn is due
    bool inputEnded = false;          // the client sends no more, or has quit
    bool sendFailed = false;
    bool dropped = false;
};

RotctldServer::RotctldServer(rotctld::Rotator rotatorControl, QObject *parent)
    : QObject(parent), rotator(std::move(rotatorControl))
{
    server.accepted = [this](qintptr descriptor) { accept(int(descriptor)); };
}

RotctldServer::~RotctldServer() = default;

void RotctldServer::listen(quint16 port, bool allowOtherComputers)
{
    server.close();
    if (!server.listen(allowOtherComputers ? QHostAddress::Any : QHostAddress::LocalHost, port))
        throw TorvanelError(QStringLiteral("Cannot listen on TCP port %1 for rotctld clients: %2")
                                .arg(port)
                                .arg(server.errorString()));
}

void RotctldServer::close()
{
    server.close();
    for (Connection *connection : connections())
        connection->drop();
}

QList<RotctldServer::Connection *> RotctldServer::connections() const
{
    QList<Connection *> open = findChildren<Connection *>(Qt::FindDirectChildrenOnly);
    open.removeIf([](const Connection *connection) { return !connection->isOpen(); });
    return open;
}

int RotctldServer::connectionCount() const
{
    return int(connections().size());
}

void RotctldServer::accept(int descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getpeername(descriptor, reinterpret_cast<sockaddr *>(&address), &length);
    const QHostAddress peer(reinterpret_cast<const sockaddr *>(&address));
    if (!makeRoom(peer)) {
        ::close(descriptor);
        return;
    }
    new Connection(descriptor, peer, rotator, this);
}

bool RotctldServer::makeRoom(const QHostAddress &peer)
{
    const QList<Connection *> all = connections();
    QList<Connection *> crowd = all;
    crowd.removeIf([&](const Connection *connection) { return connection->address() != peer; });
    if (crowd.size() < MaxConnectionsPerAddress) {
        if (all.size() < MaxConnections)
            return true;
        crowd = all;
    }
    crowd.removeIf([](const Connection *connection) { return connection->isBusy(); });
    if (crowd.isEmpty())
        return false;
    // A connection that has never sent a whole line goes first, then the one silent longest: a
    // client that talks keeps its connection however many others are opened and left.
    const auto idlest = std::min_element(crowd.cbegin(), crowd.cend(), [](const Connection *a, const Connection *b) {
        return std::pair(a->hasSpoken(), a->lastLine()) < std::pair(b->hasSpoken(), b->lastLine());
    });
    (*idlest)->drop();
    return true;
}
