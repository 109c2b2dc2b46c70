#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QUdpSocket>

// The ports below are free when asked for and taken later by the code under test. They are drawn
// below 32768, where Linux starts the ports it gives outgoing connections and unbound datagram
// sockets: a port of that range, free for a moment, became the source port of a connection that a
// test running beside made meanwhile, and the listening failed.
inline quint16 portBelowTheSystemRange()
{
    return quint16(20000 + QRandomGenerator::global()->bounded(12000));
}

// A TCP port that nobody holds right now.
inline quint16 freeTcpPort()
{
    for (;;) {
        const quint16 port = portBelowTheSystemRange();
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, port))
            return port;
    }
}

// A UDP port free on both families at the time of asking.
inline quint16 freeUdpPort()
{
    for (;;) {
        const quint16 port = portBelowTheSystemRange();
        QUdpSocket ipv4, ipv6;
        if (ipv4.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress)
            && (ipv6.bind(QHostAddress::AnyIPv6, port, QAbstractSocket::DontShareAddress)
                || ipv6.error() != QAbstractSocket::AddressInUseError))
            return port;
    }
}
