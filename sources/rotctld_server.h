#pragma once

#include "sources/rotctld_protocol.h"

#include <functional>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

// A TCP server speaking rotctld's line protocol, so that Hamlib's NET rotator client, gpredict and
// scripts can steer the antenna. Every connection is independent; all of it runs on the
// user-interface thread. No client can lock the others out: a newcomer always gets in.
class RotctldServer : public QObject
{
    Q_OBJECT

public:
    // A longer line is answered RPRT -1 and the rest of it thrown away: no client of this
    // protocol needs one.
    static constexpr qsizetype MaxLineLength = 1024;
    // While more of its answers than this wait to be sent, a client's lines are not read.
    static constexpr qint64 MaxUnreadOutput = 64 * 1024;
    // A newcomer beyond either limit closes another connection (of the newcomer's address when
    // that address is at its limit): one that has never sent a whole line, else the one whose
    // last line is oldest. So a new client always gets in, whatever connections another has left
    // open, and a client that talks keeps its connection.
    static constexpr int MaxConnections = 128;
    static constexpr int MaxConnectionsPerAddress = 32;

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
    // The address of the client whose command the rotator is being given, while it is.
    QHostAddress client() const { return serving; }

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
    // Closes the connection that makes room for a newcomer from peer; false when every candidate
    // is carrying out a command.
    bool makeRoom(const QHostAddress &peer);
    QList<Connection *> connections() const;

    Listener server;
    rotctld::Rotator rotator;
    QHostAddress serving;
};
