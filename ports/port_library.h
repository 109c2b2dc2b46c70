#pragma once

#include <QString>
#include <QtGlobal>

// The parallel-port I/O library behind its six operations, so that the program writes to a real
// adapter and tests record what would have been written. Port numbers are 16-bit I/O addresses.
namespace ports {

// None of the operations raises an error: a failure shows only through GetLastState.
class PortLibrary
{
public:
    virtual ~PortLibrary() = default;
    // The base address of LPT1, 2 or 3; 0 when there is none.
    virtual quint16 GetLPTPortAddress(int lptNumber) = 0;
    // Makes the ports from first to last usable by Outport, and withdraws that again.
    virtual void EnablePorts(quint16 first, quint16 last) = 0;
    virtual void DisablePorts(quint16 first, quint16 last) = 0;
    virtual bool IsWinNT() = 0;
    // Writes the low byte of value to the port, at once and in call order.
    virtual void Outport(quint16 port, quint16 value) = 0;
    // 0 when the last enable, disable or write succeeded; text, when given, describes the state.
    virtual int GetLastState(QString *text = nullptr) = 0;
};

// The process-wide library; the ppdev one unless a test installed another.
PortLibrary &portLibrary();
void setPortLibrary(PortLibrary *library);

} // namespace ports
