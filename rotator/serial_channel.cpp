#include "rotator/serial_channel.h"

#include "platform/error.h"
#include "platform/serial_names.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <cerrno>

namespace {

QString withCode(const char *message, int code)
{
    return QStringLiteral("%1 (Error: %2)").arg(QLatin1String(message)).arg(code);
}

// QSerialPort keeps only the text of the system's error; the errno is the one whose
// text it is. Errors of QSerialPort's own (a held lock file, a time-out) have no errno.
int errorCode(const QSerialPort &port)
{
    const QString text = port.errorString();
    for (int code = 1; code < 256; ++code) {
        if (qt_error_string(code) == text)
            return code;
    }
    return port.error();
}

// Following the link names the lock file after the device itself, so that two COM names
// of one device still exclude each other.
QString devicePath(const QString &portName)
{
    const QString path = platform::resolveComPort(platform::comportsParent(), portName);
    const QFileInfo info(path);
    const QString device = info.isAbsolute() ? info.canonicalFilePath() : QString();
    return device.isEmpty() ? path : device;
}

} // namespace

SerialChannel::SerialChannel(const SerialChannelProfile &profile)
    : profile(profile), rate(profile.initialBaudRate)
{
    port.setBaudRate(rate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

void SerialChannel::setPortName(const QString &newName)
{
    if (newName == name)
        return;
    name = newName;
    if (connected()) {
        close();
        open();
    }
}

void SerialChannel::setBaudRate(qint32 newRate)
{
    if (newRate == rate)
        return;
    rate = newRate;
    if (!port.setBaudRate(rate))
        throw TorvanelError(failure("SetCommState function failed"));
}

void SerialChannel::open()
{
    if (connected())
        return;
    const QString device = devicePath(name);
    if (device.isEmpty())
        throw TorvanelError(withCode("Unable to open com port", ENOENT));
    port.setPortName(device);
    // Write-only: nothing is ever read, and a receiver left off cannot fill a buffer with
    // the controller's replies.
    if (!port.open(QIODevice::WriteOnly))
        throw TorvanelError(failure("Unable to open com port"));
    // A pseudo-terminal has no modem lines and refuses both; that is no reason to fail.
    port.setDataTerminalReady(true);
    port.setRequestToSend(false);
    port.clearError();
}

void SerialChannel::close()
{
    if (connected())
        port.close();
}

void SerialChannel::clearBuffer(QSerialPort::Directions directions)
{
    if (!connected())
        throw TorvanelError(withCode("PurgeComm function failed", QSerialPort::NotOpenError));
    if (!port.clear(directions))
        throw TorvanelError(failure("PurgeComm function failed"));
}

qint64 SerialChannel::write(const QString &text)
{
    if (!connected())
        throw TorvanelError(QStringLiteral("Port Not Open"));
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = char(text.at(i).unicode() & 0xFF);

    QElapsedTimer clock;
    clock.start();
    const int timeout = writeTimeout(bytes.size());
    bool failed = port.write(bytes) != bytes.size();
    while (!failed && port.bytesToWrite() > 0) {
        const qint64 left = timeout - clock.elapsed();
        if (left <= 0)
            break;
        failed = !port.waitForBytesWritten(int(left)) && port.error() != QSerialPort::TimeoutError;
    }
    if (failed) {
        // The device may be gone (an adapter unplugged): closing lets a later open find it again.
        const QString message = failure("WriteFile function failed");
        close();
        throw TorvanelError(message);
    }

    const qint64 unsent = port.bytesToWrite();
    if (unsent > 0) {
        // Left queued, these bytes would go out glued to the front of the next command.
        port.clear(QSerialPort::Output);
        port.clearError();
    }
    return bytes.size() - unsent;
}

int SerialChannel::writeTimeout(qsizetype bytes) const
{
    return profile.writeTimeoutPerByte * int(bytes) + profile.writeTimeoutConstant;
}

QString SerialChannel::failure(const char *message) const
{
    return withCode(message, errorCode(port));
}
