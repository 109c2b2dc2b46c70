#include "sources/udp_server.h"

#include "platform/error.h"

#include <QUdpSocket>

// A bound socket that hands over its datagrams one at a time. A handler connected to the server
// may run a nested event loop in which the server is deactivated; the socket is then closed at
// once but deleted only after its own handler has unwound.
class DatagramSocket : public QUdpSocket
{
    Q_OBJECT

public:
    DatagramSocket()
    {
        connect(this, &QUdpSocket::readyRead, this, &DatagramSocket::drain);
    }

    void retire()
    {
        retired = true;
        disconnect(this, &DatagramSocket::received, nullptr, nullptr);
        close();
        if (!handling)
            deleteLater();
    }

signals:
    void received(const QByteArray &bytes, bool morePending, const QHostAddress &sender);
    void drained();

private:
    void drain()
    {
        // Qt emits no readyRead while one is being handled, even from a nested event loop of the
        // handler: the datagram being handled finishes first, the loop takes the next ones in order.
        handling = true;
        while (!retired && hasPendingDatagrams()) {
            const std::optional<ReceivedDatagram> datagram = takeDatagram(*this);
            // A failed receive ends that attempt only; the next datagram brings readyRead again.
            if (!datagram)
                break;
            if (!datagram->oversized)
                emit received(datagram->bytes, hasPendingDatagrams(), datagram->sender);
        }
        handling = false;
        emit drained();
        if (retired)
            deleteLater();
    }

    bool handling = false;
    bool retired = false;
};

std::optional<ReceivedDatagram> takeDatagram(QUdpSocket &socket)
{
    const qint64 size = socket.pendingDatagramSize();
    if (size > UDPServer::MaxDatagramSize) {
        socket.readDatagram(nullptr, 0);
        return ReceivedDatagram{{}, {}, true};
    }
    ReceivedDatagram datagram;
    datagram.bytes = QByteArray(qMax<qint64>(size, 0), Qt::Uninitialized);
    const qint64 got = socket.readDatagram(datagram.bytes.data(), datagram.bytes.size(), &datagram.sender);
    if (got < 0)
        return std::nullopt;
    datagram.bytes.truncate(got);
    return datagram;
}

namespace {

const char *const BindFailure =
    "Impossible de lier le socket. L'adresse et le port sont déjà en cours d'utilisation.";

// A system without IPv6 either has no such socket family or no IPv6 address to bind.
bool noIPv6(const QHostAddress &address, QAbstractSocket::SocketError error)
{
    return address.protocol() == QAbstractSocket::IPv6Protocol
        && (error == QAbstractSocket::UnsupportedSocketOperationError
            || error == QAbstractSocket::SocketAddressNotAvailableError);
}

} // namespace

UDPServer::UDPServer(QObject *parent) : QObject(parent) {}

UDPServer::~UDPServer()
{
    deactivate();
}

void UDPServer::activate()
{
    if (isActive())
        return;
    if (bindingList.isEmpty())
        bindingList = {{QHostAddress(QHostAddress::AnyIPv4), port}, {QHostAddress(QHostAddress::AnyIPv6), port}};
    QList<QPointer<DatagramSocket>> bound;
    for (auto binding = bindingList.begin(); binding != bindingList.end();) {
        auto *socket = new DatagramSocket;
        if (socket->bind(binding->address, binding->port, QAbstractSocket::DontShareAddress)) {
            connect(socket, &DatagramSocket::received, this, &UDPServer::OnUDPRead);
            connect(socket, &DatagramSocket::drained, this, &UDPServer::OnUDPDrained);
            bound.append(socket);
            ++binding;
            continue;
        }
        const auto error = socket->error();
        delete socket;
        if (noIPv6(binding->address, error)) {
            binding = bindingList.erase(binding);
            continue;
        }
        for (const auto &other : std::as_const(bound))
            other->retire();
        throw TorvanelError(QString::fromUtf8(BindFailure));
    }
    sockets = bound;
}

void UDPServer::deactivate()
{
    const auto open = std::exchange(sockets, {});
    for (const auto &socket : open) {
        if (socket)
            socket->retire();
    }
}

#include "udp_server.moc"
