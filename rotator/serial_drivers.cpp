#include "rotator/serial_drivers.h"

#include "platform/serial_names.h"
#include "platform/ui_services.h"
#include "rotator/driver_table.h"
#include "rotator/tracking.h"

namespace {

SerialChannelId channelId(int rotator)
{
    switch (rotator) {
    case GS232: return SerialChannelId::ComPortGS;
    case EasyComm: return SerialChannelId::ComPortEasy;
    case TrakBox: return SerialChannelId::ComPortTKB;
    case ProSisTel: return SerialChannelId::ComPortPro;
    case DCU1: return SerialChannelId::ComPortDCU;
    case M2Orion: return SerialChannelId::ComPortM2;
    default: return SerialChannelId::ComPortEGI;
    }
}

} // namespace

SerialDrivers::SerialDrivers(Hooks hooks) : hooks(std::move(hooks))
{
    for (const SerialProtocol &protocol : serialProtocols())
        channels[protocol.rotator] = std::make_unique<SerialChannel>(channelId(protocol.rotator));
}

void SerialDrivers::registerIn(DriverTable &table)
{
    for (const SerialProtocol &protocol : serialProtocols()) {
        table.add(protocol.rotator, {QLatin1String(protocol.trackName), QLatin1String(protocol.stopName),
                                     [this, &protocol] { track(protocol); },
                                     [this, &protocol] { stop(protocol); }});
    }
}

SerialChannel &SerialDrivers::channel(int rotator)
{
    return *channels.at(rotator);
}

bool SerialDrivers::openFor(const SerialProtocol &protocol)
{
    SerialChannel &line = channel(protocol.rotator);
    if (line.connected())
        return true;
    const int port = settings().*protocol.port;
    // No port chosen counts as a port that does not open.
    if (port < 0)
        return false;
    try {
        line.setPortName(platform::comPortName(port));
        line.open();
        line.clearBuffer(QSerialPort::AllDirections);
    } catch (const std::exception &) {
        // Reported by the beep of the caller, as for any unreachable controller.
    }
    if (!line.connected())
        return false;
    if (protocol.cpmOffAfterOpen) {
        if (hooks.cpmOff && hooks.cpmOff())
            line.write(QString::fromLatin1(QByteArray(1, STX) + "AS\r"));
        hooks.wait(50);
    }
    return true;
}

void SerialDrivers::track(const SerialProtocol &protocol)
{
    Settings &s = settings();
    const bool south = protocol.stopSide && s.*protocol.stopSide == SouthStop;
    if (!tracking::beginTrack(s, s.*protocol.step, south))
        return;
    if (!openFor(protocol)) {
        s.CommandSkipped = true;
        platform::ui().beep(platform::Beep::Default);
        return;
    }
    const int value = tracking::commandValue(s.TargetAzimuth, s.*protocol.offset, protocol.scale);
    if (protocol.scale != 1)
        s.LastAzimuth = tracking::roundHalfEven((long double)value / protocol.scale);
    const SerialLines lines = protocol.position(value, s);
    SerialChannel &line = channel(protocol.rotator);
    hooks.showCommand(QString::fromLatin1(lines.first().text) + QLatin1Char(' ') + line.portName());
    send(line, lines);
}

void SerialDrivers::stop(const SerialProtocol &protocol)
{
    SerialChannel &line = channel(protocol.rotator);
    if (!line.connected())
        return;
    send(line, protocol.stop);
    const QString port = line.portName();
    line.close();
    if (protocol.stopLabel)
        hooks.showCommand(QLatin1String(protocol.stopLabel) + QLatin1Char(' ') + port);
}

void SerialDrivers::send(SerialChannel &line, const SerialLines &lines)
{
    for (const SerialLine &each : lines) {
        line.write(QString::fromLatin1(each.text));
        if (each.pauseAfter > 0)
            hooks.wait(each.pauseAfter);
    }
}

void SerialDrivers::sendAndClose(int rotator, const SerialLines &lines)
{
    SerialChannel &line = channel(rotator);
    if (!line.connected())
        return;
    send(line, lines);
    line.close();
}

void SerialDrivers::sendClosing(int rotator, bool onlyClose)
{
    const SerialProtocol *protocol = serialProtocol(rotator);
    if (!protocol)
        return;
    SerialChannel &line = channel(rotator);
    if (rotator == TrakBox) {
        if (!line.connected()) {
            try {
                line.setPortName(platform::comPortName(settings().PORT_TRAKBOX));
                line.open();
            } catch (const std::exception &) {
                // A TrakBox that cannot be reached at exit is simply left alone.
            }
        }
        sendAndClose(TrakBox, trakBoxClosing(settings().TKB_HOST));
        return;
    }
    sendAndClose(rotator, onlyClose ? SerialLines() : protocol->closing);
}

void SerialDrivers::closeAll()
{
    for (auto &line : channels) {
        if (line)
            line->close();
    }
}
