#include "ports/recording_port_library.h"

namespace ports {

namespace {
const QString pauseName = QStringLiteral("wait");
const QString outportName = QStringLiteral("Outport");
}

quint16 RecordingPortLibrary::GetLPTPortAddress(int lptNumber)
{
    calls.append({QStringLiteral("GetLPTPortAddress"), {lptNumber}});
    return lptAddresses.value(lptNumber, 0);
}

void RecordingPortLibrary::EnablePorts(quint16 first, quint16 last)
{
    act(QStringLiteral("EnablePorts"), {first, last});
}

void RecordingPortLibrary::DisablePorts(quint16 first, quint16 last)
{
    act(QStringLiteral("DisablePorts"), {first, last});
}

bool RecordingPortLibrary::IsWinNT()
{
    calls.append({QStringLiteral("IsWinNT"), {}});
    return winNT;
}

void RecordingPortLibrary::Outport(quint16 port, quint16 value)
{
    act(outportName, {port, value & 0xFF});
}

int RecordingPortLibrary::GetLastState(QString *text)
{
    calls.append({QStringLiteral("GetLastState"), {}});
    if (text)
        *text = state ? QStringLiteral("Recorded failure") : QString();
    return state;
}

void RecordingPortLibrary::recordPause(int ms)
{
    calls.append({pauseName, {ms}});
}

QList<RecordingPortLibrary::Call> RecordingPortLibrary::outputs() const
{
    QList<Call> result;
    for (const Call &call : calls) {
        if (call.operation == outportName || call.operation == pauseName)
            result.append(call);
    }
    return result;
}

void RecordingPortLibrary::clear()
{
    calls.clear();
    state = 0;
}

void RecordingPortLibrary::act(const QString &operation, QList<int> arguments)
{
    calls.append({operation, std::move(arguments)});
    state = failing ? 1 : 0;
}

} // namespace ports
