#include "sources/rotctld_server.h"

#include "platform/error.h"

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
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxLineLength)
                    socket->abort();
                break;
            }
            const QByteArray line = socket->readLine(MaxLineLength + 2);
            if (!line.endsWith('\n')) {
                socket->abort();
                break;
            }
            const QByteArrayView text = QByteArrayView(line).chopped(1);
            if (rotctld::isBlank(text))
                continue;
            const rotctld::Request request = rotctld::parseLine(text);
            const QByteArray reply = rotctld::answer(request, rotator);
            if (!self)
                return;
            if (request.command == rotctld::Command::Quit) {
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

    QTcpSocket *socket;
    const rotctld::Rotator &rotator;
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
