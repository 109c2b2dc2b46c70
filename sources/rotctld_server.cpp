#include "sources/rotctld_server.h"

#include "platform/error.h"

#include <algorithm>
#include <optional>

#include <QPointer>
#include <QTcpSocket>

// One client. A rotator callback may run a nested event loop, during which more bytes and the
// client's disconnection can arrive (Qt does not emit readyRead again meanwhile): the loop goes on
// with whatever is buffered once the callback returns, and the connection is only deleted then.
class RotctldServer::Connection : public QObject
{
public:
    Connection(QTcpSocket *client, const rotctld::Rotator &rotator, QObject *parent)
        : QObject(parent), socket(client), rotator(rotator)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::readLines);
        connect(socket, &QTcpSocket::disconnected, this, &Connection::finish);
    }

    void drop()
    {
        socket->abort();
        finish();
    }

private:
    // A nested loop may carry out deferred deletions (QTest::qWait does): the socket must not go
    // while its own readyRead is still being emitted further up the stack.
    void finish()
    {
        if (busy)
            finished = true;
        else
            deleteLater();
    }

    void readLines()
    {
        if (closing)
            return;
        busy = true;
        const QPointer<Connection> self(this);
        // Lines that arrived before the client left are still carried out.
        while (self && !closing) {
            // A client that does not read its answers is not served further.
            if (socket->bytesToWrite() > MaxUnreadOutput) {
                socket->abort();
                break;
            }
            const std::optional<QByteArray> text = nextLine();
            if (!text)
                break;
            if (rotctld::isBlank(*text))
                continue;
            bool quit = false;
            const QByteArray reply = rotctld::answerLine(*text, rotator, &quit);
            if (!self)
                return;
            if (quit) {
                socket->write(reply);
                closing = true;
                socket->disconnectFromHost();
                break;
            }
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write(reply);
        }
        if (!self)
            return;
        busy = false;
        if (finished || socket->state() == QAbstractSocket::UnconnectedState)
            deleteLater();
    }

    // The next line without its end: LF, CR or CR LF end a line, as Hamlib reads them (the empty
    // line between CR and LF is blank). Nothing while the line is incomplete; a line longer than
    // the limit ends the connection.
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
                socket->abort();
                return std::nullopt;
            }
            const QByteArray more = socket->read(MaxLineLength + 1 - pending.size());
            if (more.isEmpty())
                return std::nullopt;
            pending += more;
        }
    }

    QTcpSocket *socket;
    const rotctld::Rotator &rotator;
    QByteArray pending;
    bool busy = false;
    bool closing = false;
    bool finished = false;
};

RotctldServer::RotctldServer(rotctld::Rotator rotatorControl, QObject *parent)
    : QObject(parent), rotator(std::move(rotatorControl))
{
    connect(&server, &QTcpServer::newConnection, this, &RotctldServer::acceptConnections);
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
    for (Connection *connection : findChildren<Connection *>(Qt::FindDirectChildrenOnly))
        connection->drop();
}

int RotctldServer::connectionCount() const
{
    return int(findChildren<Connection *>(Qt::FindDirectChildrenOnly).size());
}

void RotctldServer::acceptConnections()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        if (connectionCount() >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        new Connection(socket, rotator, this);
    }
}
