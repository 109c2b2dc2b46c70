#include "sources/n1mm_heading.h"

#include <utility>

N1mmHeading::N1mmHeading(std::function<int()> heading, std::function<std::optional<Target>()> target,
                         QObject *parent)
    : QObject(parent), heading(std::move(heading)), target(std::move(target))
{
    connect(&timer, &QTimer::timeout, this, &N1mmHeading::check);
    timer.start(CheckMs);
}

void N1mmHeading::heardLogger(const QHostAddress &address, const QString &rotor)
{
    logger = address;
    if (!rotor.isEmpty())
        loggerRotor = rotor;
}

QByteArray N1mmHeading::text(const QString &rotor, int heading)
{
    return rotor.toLatin1() + " @ " + QByteArray::number(heading * 10);
}

void N1mmHeading::check()
{
    const auto to = target();
    if (!to)
        return;
    const QHostAddress address = to->host.isEmpty() ? logger : QHostAddress(to->host);
    const QString rotor = to->rotor.isEmpty() ? loggerRotor : to->rotor;
    // Nothing is sent before there is somewhere to send it and a name the logger knows.
    if (address.isNull() || rotor.isEmpty())
        return;
    const QByteArray datagram = text(rotor, heading());
    const bool same = datagram == lastText && address == lastAddress && to->port == lastPort;
    if (same && !sinceSent.hasExpired(RepeatMs))
        return;
    socket.writeDatagram(datagram, address, to->port);
    lastText = datagram;
    lastAddress = address;
    lastPort = to->port;
    sinceSent.start();
}
