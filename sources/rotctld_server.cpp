#include "sources/rotctld_server.h"

#include "platform/error.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

#include <QPointer>
#include <QSocketNotifier>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

// One client, on a bare socket so that a client that has finished sending still gets every answer
// before the connection closes. Its commands are carried out one at a time, in order: while one
// awaits its outcome, the client's further bytes wait in the socket and other clients are served.
// An answer that comes late finds its connection through a QPointer, so a connection dropped
// meanwhile (or its server) is simply not answered.
class RotctldServer::Connection : public QObject
{
public:
    Connection(int descriptor, const QHostAddress &peer, const rotctld::Rotator &rotator, QObject *parent)
        : QObject(parent), descriptor(descriptor), peer(peer), rotator(rotator)
    {
        // Each answer leaves as it is made: Nagle's algorithm would hold the second answer of a
        // batch until the client's delayed acknowledgement, tens of milliseconds later.
        const int noDelay = 1;
        ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        writable.setEnabled(false);
        connect(&readable, &QSocketNotifier::activated, this, &Connection::work);
        connect(&writable, &QSocketNotifier::activated, this, &Connection::sendMore);
    }

    ~Connection() override { closeSocket(); }

    bool isOpen() const { return descriptor >= 0; }
    bool isBusy() const { return awaiting; }
    const QHostAddress &address() const { return peer; }
    std::chrono::steady_clock::time_point lastReceived() const { return received; }

    // Closes the socket at once; an answer still awaited is then dropped when it comes.
    void drop()
    {
        closeSocket();
        if (!dropped)
            deleteLater();
        dropped = true;
    }

private:
    void closeSocket()
    {
        if (!isOpen())
            return;
        readable.setEnabled(false);
        writable.setEnabled(false);
        ::close(descriptor);
        descriptor = -1;
    }

    // Carries out the client's commands until one awaits its outcome, the client has too many
    // answers to take first (its answers then stay whole and in order), or none is left.
    void work()
    {
        while (isOpen() && !closing && !awaiting && unsent.size() <= MaxUnreadOutput) {
            if (commands.isEmpty()) {
                const std::optional<QByteArray> text = nextLine();
                if (!text)
                    break;
                commands = rotctld::parseLine(*text);
                continue;
            }
            const rotctld::Request request = commands.takeFirst();
            if (rotctld::isQuit(request)) {
                commands.clear();
                closing = true;
                break;
            }
            awaiting = true;
            const quint64 ticket = ++command;
            carryingOut = true;
            rotctld::answer(request, rotator, [self = QPointer<Connection>(this), ticket](const QByteArray &reply) {
                if (self)
                    self->answered(ticket, reply);
            });
            carryingOut = false;
        }
        settle();
    }

    // Sends the answer as soon as it is known. One that comes later resumes the client's commands
    // from the event loop, never inside whoever gives the outcome: that may be the rotator carrying
    // out another client's command, which a newer azimuth overtakes.
    void answered(quint64 ticket, const QByteArray &reply)
    {
        // Only the command awaited, and only once.
        if (!awaiting || ticket != command)
            return;
        awaiting = false;
        if (!isOpen())
            return;
        send(reply);
        if (!carryingOut)
            QMetaObject::invokeMethod(this, &Connection::work, Qt::QueuedConnection);
    }

    // The next line without its end: LF, CR or CR LF end a line, as Hamlib reads them (the empty
    // line between CR and LF is blank). Nothing while the line is incomplete; a line longer than
    // the limit ends the connection. Lines that arrived before the client left are still carried
    // out.
    std::optional<QByteArray> nextLine()
    {
        for (;;) {
            const auto end = std::find_if(pending.cbegin(), pending.cend(), [](char c) { return c == '\n' || c == '\r'; });
            if (end != pending.cend()) {
                const qsizetype length = end - pending.cbegin();
                const QByteArray line = pending.left(length);
                pending.remove(0, length + 1);
                return line;
            }
            if (pending.size() > MaxLineLength) {
                closeSocket();
                return std::nullopt;
            }
            char more[MaxLineLength + 1];
            const ssize_t size = ::recv(descriptor, more, sizeof more - size_t(pending.size()), MSG_DONTWAIT);
            if (size < 0 && errno == EINTR)
                continue;
            if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return std::nullopt;
            if (size <= 0) {
                // The client has sent all it will, or is gone.
                closing = true;
                return std::nullopt;
            }
            pending.append(more, size);
            received = std::chrono::steady_clock::now();
        }
    }

    void send(const QByteArray &reply)
    {
        if (!sendFailed)
            unsent += reply;
        flush();
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

    void sendMore()
    {
        flush();
        work();
    }

    // Closes the connection when the client will send no more and has every answer, otherwise
    // reads on unless a command awaits its outcome or the client has too many answers to take first.
    void settle()
    {
        if (!isOpen() || (closing && !awaiting && unsent.isEmpty()))
            drop();
        else
            readable.setEnabled(!closing && !awaiting && unsent.size() <= MaxUnreadOutput);
    }

    int descriptor;
    QSocketNotifier readable{descriptor, QSocketNotifier::Read};
    QSocketNotifier writable{descriptor, QSocketNotifier::Write};
    const QHostAddress peer;
    const rotctld::Rotator &rotator;
    std::chrono::steady_clock::time_point received = std::chrono::steady_clock::now();
    QByteArray pending;
    QList<rotctld::Request> commands; // the rest of the line being carried out
    QByteArray unsent;
    quint64 command = 0;              // the number of the latest command carried out
    bool awaiting = false;            // its answer is still to come
    bool carryingOut = false;         // inside the rotator's call
    bool closing = false;
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
    const auto idlest = std::min_element(crowd.cbegin(), crowd.cend(), [](const Connection *a, const Connection *b) {
        return a->lastReceived() < b->lastReceived();
    });
    (*idlest)->drop();
    return true;
}
