#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <optional>

class DatagramSocket;
class QUdpSocket;

// A datagram taken off a socket: its bytes and its sender. One longer than
// UDPServer::MaxDatagramSize is dropped unread (oversized). None when the receive failed.
struct ReceivedDatagram {
    QByteArray bytes;
    QHostAddress sender;
    bool oversized = false;
};
std::optional<ReceivedDatagram> takeDatagram(QUdpSocket &socket);

// The listener for the logger's datagrams: one UDP socket per binding, all on the user-interface
// thread. Bindings are created at the first activation and survive deactivation, so that a later
// activation binds the same endpoints again with the port they were created with.
class UDPServer : public QObject
{
    Q_OBJECT

public:
    // The longest datagram received; a longer one is read and dropped.
    static constexpr qint64 MaxDatagramSize = 8192;

    struct Binding {
        QHostAddress address;
        quint16 port;
    };

    explicit UDPServer(QObject *parent = nullptr);
    ~UDPServer() override;

    // The port of the bindings created from now on.
    quint16 listeningPort() const { return port; }
    void setListeningPort(quint16 listeningPort) { port = listeningPort; }

    QList<Binding> bindings() const { return bindingList; }
    // Only way a changed listening port takes effect; sockets open now stay open until deactivation.
    void clearBindings() { bindingList.clear(); }

    bool isActive() const { return !sockets.isEmpty(); }
    // Binds every binding (IPv4 and, where the system has it, IPv6 on the any-address) without
    // address reuse. On failure nothing stays bound and TorvanelError is thrown.
    void activate();
    void deactivate();

signals:
    // One datagram's bytes, one at a time per binding, in arrival order; morePending when
    // others already wait behind it.
    void OnUDPRead(const QByteArray &bytes, bool morePending, const QHostAddress &sender);
    // The datagrams that were waiting have all been handled.
    void OnUDPDrained();

private:
    quint16 port = 0;
    QList<Binding> bindingList;
    QList<QPointer<DatagramSocket>> sockets;
};
