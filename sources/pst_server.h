#pragma once

#include <functional>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QUdpSocket>

// The small UDP protocol of the commercial Windows rotator controllers, which many loggers and
// trackers speak: "<PST><AZIMUTH>85</AZIMUTH></PST>" and its kin on port 12000.
namespace pst {

struct Request {
    enum Kind { Azimuth, Locator, Stop, Park, AskAzimuth };
    Kind kind;
    int azimuth = -1; // Azimuth: whole degrees 0..359
    QString locator;  // Locator: as sent
};

// The requests of one datagram in their order. Only what lies within <PST> and </PST> counts;
// the elevation, EL? and anything not understood are left out. An azimuth is the number its
// text starts with ("123.450000.2" is 123.45), rounded to a whole degree.
QList<Request> parse(QByteArrayView datagram);

// "AZ:123": the answer to AZ?, in whole degrees.
QByteArray azimuthAnswer(int azimuth);

} // namespace pst

// What the PST server drives; none of them may throw.
struct PstRotator {
    std::function<void(int azimuth)> turnTo;
    std::function<void(const QString &locator)> turnToLocator;
    std::function<void()> stop;
    std::function<void()> park;
    std::function<int()> azimuth;
};

// The PST listener: one UDP socket on the user-interface thread. The datagrams waiting are read
// together: a stop goes out at once and cancels the moves read before it, AZ? is answered at
// once, and of the moves only the newest is carried out, so that a flood never queues commands.
class PstServer : public QObject
{
    Q_OBJECT

public:
    // Read at a time before the event loop gets its turn, so that a flood cannot keep it away;
    // the socket tells again of those left waiting.
    static constexpr int MaxDatagramsAtOnce = 64;

    explicit PstServer(PstRotator rotator, QObject *parent = nullptr);

    // Loopback only unless other computers are allowed. Throws TorvanelError naming the port when
    // it cannot bind; an open socket is closed first.
    void listen(quint16 port, bool allowOtherComputers);
    void close() { socket.close(); }
    bool isListening() const { return socket.state() == QAbstractSocket::BoundState; }
    quint16 port() const { return socket.localPort(); }
    bool allowsOtherComputers() const { return socket.localAddress() != QHostAddress(QHostAddress::LocalHost); }
    // The address that sent the request the rotator is being given, while it is.
    QHostAddress client() const { return serving; }

private:
    void readDatagrams();

    QUdpSocket socket;
    PstRotator rotator;
    QHostAddress serving;
};
