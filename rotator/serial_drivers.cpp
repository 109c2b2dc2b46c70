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
    for (const SerialProtocol &protocol : serialProtocols()) {
        Line &line = lines[protocol.rotator];
        line.channel = std::make_unique<SerialChannel>(channelId(protocol.rotator));
        line.steps = std::make_unique<TimedLine>();
        QObject::connect(line.steps.get(), &TimedLine::failed, [this](const QString &text) {
            if (this->hooks.reportError)
                this->hooks.reportError(text);
        });
    }
}

void SerialDrivers::registerIn(DriverTable &table)
{
    for (const SerialProtocol &protocol : serialProtocols()) {
        TimedLine *steps = lines[protocol.rotator].steps.get();
        table.add(protocol.rotator, {QLatin1String(protocol.trackName), QLatin1String(protocol.stopName),
                                     [this, &protocol](DriverTable::Done done) { track(protocol, std::move(done)); },
                                     [this, &protocol] { stop(protocol); }, [steps] { return steps->busy(); }});
        QObject::connect(steps, &TimedLine::idle, [&table] { table.idle(); });
    }
}

SerialChannel &SerialDrivers::channel(int rotator)
{
    Line &line = lines.at(rotator);
    line.steps->settle();
    return *line.channel;
}

bool SerialDrivers::open(int rotator)
{
    const SerialProtocol *protocol = serialProtocol(rotator);
    return protocol && openFor(*protocol);
}

bool SerialDrivers::openFor(const SerialProtocol &protocol)
{
    SerialChannel &line = *lines[protocol.rotator].channel;
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
        const bool cpmOff = hooks.cpmOff && hooks.cpmOff();
        // The controller needs the pause after opening, whether or not it hears anything.
        lines[protocol.rotator].steps->send({{[&line, cpmOff] {
                                                  if (cpmOff)
                                                      line.write(QString::fromLatin1(QByteArray(1, STX) + "AS\r"));
                                              },
                                              50}});
    }
    return true;
}

void SerialDrivers::track(const SerialProtocol &protocol, DriverTable::Done done)
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
    const int value = tracking::travelValue(s, protocol.rotator, s.*protocol.offset, protocol.scale);
    if (protocol.scale != 1)
        s.LastAzimuth = tracking::roundHalfEven((long double)value / protocol.scale);
    const SerialLines position = protocol.position(value, s);
    hooks.showCommand(QString::fromLatin1(position.first().text) + QLatin1Char(' ')
                      + lines[protocol.rotator].channel->portName());
    send(protocol.rotator, position, [done = std::move(done), value, &protocol](LineOutcome outcome, const QString &failure) {
        // Where the rotator goes from now on, as far as the program can know without a reading.
        if (outcome == LineOutcome::Written && settings().ANT == protocol.rotator)
            settings().RotatorPosition = (long double)value / protocol.scale;
        done(outcome == LineOutcome::Written     ? Outcome::Sent
             : outcome == LineOutcome::Cancelled ? Outcome::Stopped
                                                 : Outcome::Failed,
             failure);
    });
}

void SerialDrivers::stop(const SerialProtocol &protocol)
{
    Line &line = lines[protocol.rotator];
    if (line.closing)
        return;
    line.steps->cancel();
    if (!line.channel->connected())
        return;
    const QString port = line.channel->portName();
    send(protocol.rotator, protocol.stop);
    queueClose(protocol.rotator);
    if (protocol.stopLabel)
        hooks.showCommand(QLatin1String(protocol.stopLabel) + QLatin1Char(' ') + port);
}

void SerialDrivers::send(int rotator, const SerialLines &commandLines, TimedLine::Done done)
{
    SerialChannel *channel = lines[rotator].channel.get();
    QList<TimedLine::Step> steps;
    for (const SerialLine &each : commandLines)
        steps.append({[channel, text = QString::fromLatin1(each.text)] { channel->write(text); }, each.pauseAfter});
    lines[rotator].steps->send(std::move(steps), std::move(done));
}

void SerialDrivers::queueClose(int rotator)
{
    Line &line = lines[rotator];
    SerialChannel *channel = line.channel.get();
    line.closing = true;
    line.steps->send({{[channel] { channel->close(); }, 0}}, [&line](LineOutcome, const QString &) { line.closing = false; });
}

void SerialDrivers::sendAndClose(int rotator, const SerialLines &commandLines)
{
    SerialChannel &line = channel(rotator);
    if (!line.connected())
        return;
    send(rotator, commandLines);
    queueClose(rotator);
    lines[rotator].steps->settle();
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
    for (Line &line : lines) {
        if (!line.channel)
            continue;
        line.steps->settle();
        line.channel->close();
    }
}
