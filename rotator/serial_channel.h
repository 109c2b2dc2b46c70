#pragma once

#include <QSerialPort>
#include <QString>

#include <array>
#include <cstddef>

// What tells the seven channels apart. Time-outs are in milliseconds.
struct SerialChannelProfile {
    qint32 initialBaudRate;
    int writeTimeoutPerByte;
    int writeTimeoutConstant;
};

// The main window's seven channels, in the order of their rows below.
enum class SerialChannelId { ComPortGS, ComPortEasy, ComPortTKB, ComPortPro, ComPortDCU, ComPortM2, ComPortEGI };

inline constexpr std::array<SerialChannelProfile, 7> serialChannelProfiles{{
    {9600, 0, 5000}, // ComPortGS, until start-up applies BAUD_GS232
    {9600, 0, 5000}, // ComPortEasy, until start-up applies BAUD_EASYCOMM
    {9600, 0, 5000}, // ComPortTKB, until start-up applies BAUD_TRAKBOX
    {9600, 0, 5000}, // ComPortPro, fixed rate
    {4800, 200, 1000}, // ComPortDCU, until start-up applies BAUD_DCU1
    {9600, 0, 5000}, // ComPortM2, fixed rate
    {9600, 0, 5000}, // ComPortEGI, fixed rate
}};

constexpr const SerialChannelProfile &serialChannelProfile(SerialChannelId id)
{
    return serialChannelProfiles[std::size_t(id)];
}

// A send-only serial port named COMn: 8N1, no flow control, DTR on, RTS off, opened
// exclusively. Failures throw TorvanelError with the step's message and the error code.
class SerialChannel
{
public:
    explicit SerialChannel(SerialChannelId id) : SerialChannel(serialChannelProfile(id)) {}
    explicit SerialChannel(const SerialChannelProfile &profile);

    const QString &portName() const { return name; }
    // A new name on an open channel closes it and opens it again under that name.
    void setPortName(const QString &newName);

    qint32 baudRate() const { return rate; }
    // Applied at once when open, else at the next open.
    void setBaudRate(qint32 newRate);

    bool connected() const { return port.isOpen(); }
    void open();
    void close();
    void clearBuffer(QSerialPort::Directions directions);

    // Sends each character as one byte (the low eight bits of its code) and blocks until
    // all have been handed to the system or the write time-out has run out. Returns the
    // number of bytes sent; bytes left unsent by the time-out are dropped.
    qint64 write(const QString &text);

    // Per-byte time-out times the length, plus the constant.
    int writeTimeout(qsizetype bytes) const;

private:
    QString failure(const char *message) const;

    SerialChannelProfile profile;
    QString name = QStringLiteral("COM2");
    qint32 rate;
    QSerialPort port;
};
