#pragma once

#include <functional>
#include <optional>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

// Sends N1MM Logger+ the antenna's heading as its rotor programs do: "<rotor> @ <tenths of a
// degree>" in one datagram, at each change and again every few seconds while it stays.
class N1mmHeading : public QObject
{
    Q_OBJECT

public:
    // How often the heading is looked at, and how long an unchanged one waits to be sent again.
    static constexpr int CheckMs = 250;
    static constexpr int RepeatMs = 3000;

    struct Target {
        quint16 port = 13010;
        QString host;  // an address; empty: the logger's
        QString rotor; // empty: the name the logger sent
    };

    // heading gives whole degrees; target where the heading goes, none while it is not wanted.
    N1mmHeading(std::function<int()> heading, std::function<std::optional<Target>()> target,
                QObject *parent = nullptr);

    // A rotor datagram from the logger: its sender and the rotor it names (empty when it names none).
    void heardLogger(const QHostAddress &address, const QString &rotor);

    // "Rotor @ 1230".
    static QByteArray text(const QString &rotor, int heading);

private:
    void check();

    std::function<int()> heading;
    std::function<std::optional<Target>()> target;
    QHostAddress logger;
    QString loggerRotor;
    QUdpSocket socket;
    QTimer timer;
    // The last datagram and where it went, and when.
    QByteArray lastText;
    QHostAddress lastAddress;
    quint16 lastPort = 0;
    QElapsedTimer sinceSent;
};
