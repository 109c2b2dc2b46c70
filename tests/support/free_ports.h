#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>

// A loopback TCP port that nobody holds right now.
inline quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A UDP port free on both families at the time of asking.
inline quint16 freeUdpPort()
{
    for (;;) {
        QUdpSocket probe;
        probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
        const quint16 port = probe.localPort();
        QUdpSocket ipv6;
        if (ipv6.bind(QHostAddress::AnyIPv6, port, QAbstractSocket::DontShareAddress)
            || ipv6.error() != QAbstractSocket::AddressInUseError)
            return port;
    }
}
