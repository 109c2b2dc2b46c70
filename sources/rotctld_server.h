#pragma once

#include "sources/rotctld_protocol.h"

#include <functional>
#include <QObject>
#include <QTcpServer>

// A TCP server speaking rotctld's line protocol, so that Hamlib's NET rotator client, gpredict and
// scripts can steer the antenna. Every connection is independent; all of it runs on the
// user-interface thread.
class RotctldServer : public QObject
{
    Q_OBJECT

public:
    // A longer line closes its connection: no client of this protocol needs one.
    static constexpr qsizetype MaxLineLength = 1024;
    // While more of its answers than this wait to be sent, a client's lines are not read.
    static constexpr qint64 MaxUnreadOutput = 64 * 1024;
    // Connections beyond this many are closed as soon as they arrive.
    static constexpr int MaxConnections = 128;

    explicit RotctldServer(rotctld::Rotator rotator, QObject *parent = nullptr);
    ~RotctldServer() override;

    // Loopback only unless other computers are allowed. Throws TorvanelError naming the port when
    // it cannot listen; an open listener is closed first.
    void listen(quint16 port, bool allowOtherComputers);
    // Stops listening and closes every connection.
    void close();
    bool isListening() const { return server.isListening(); }
    quint16 port() const { return server.serverPort(); }
    bool allowsOtherComputers() const { return server.serverAddress() != QHostAddress(QHostAddress::LocalHost); }
    int connectionCount() const;

private:
    class Connection;

    // Hands each accepted socket over as a bare descriptor. A QTcpSocket closes itself, answers
    // unsent, as soon as its client has finished sending, and such a client (nc -N, a script
    // shutting its side) is owed its answers.
    class Listener : public QTcpServer
    {
    public:
        std::function<void(qintptr)> accepted;

    protected:
        void incomingConnection(qintptr descriptor) override { accepted(descriptor); }
    };

    void accept(int descriptor);
    QList<Connection *> connections() const;

    Listener server;
    rotctld::Rotator rotator;
};
