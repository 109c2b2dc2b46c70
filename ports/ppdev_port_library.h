#pragma once

#include <map>

#include "ports/parport_inventory.h"
#include "ports/port_library.h"

namespace ports {

// The library's operations on Linux's ppdev driver: a port is the /dev/parport<k> whose
// inventory entry gives its base address; writes to base go to the data register, to base + 2
// to the control register.
class PpdevPortLibrary : public PortLibrary
{
public:
    explicit PpdevPortLibrary(const QString &inventory = QLatin1String(defaultInventory),
                              const QString &devices = QLatin1String(defaultDevices));
    ~PpdevPortLibrary() override;
    PpdevPortLibrary(const PpdevPortLibrary &) = delete;
    PpdevPortLibrary &operator=(const PpdevPortLibrary &) = delete;

    quint16 GetLPTPortAddress(int lptNumber) override;
    void EnablePorts(quint16 first, quint16 last) override;
    void DisablePorts(quint16 first, quint16 last) override;
    bool IsWinNT() override { return true; }
    void Outport(quint16 port, quint16 value) override;
    int GetLastState(QString *text = nullptr) override;

private:
    // Opens and claims parport<k>; false, with the state set, when that fails.
    bool claim(int k, quint16 base);
    void release(quint16 base);
    void succeed();
    void fail(int code, const QString &text);
    void failWithErrno(const QString &what);

    QString inventory;
    QString devices;
    std::map<quint16, int> claimed; // base address -> descriptor of the claimed device
    int state = 0;
    QString stateText;
};

} // namespace ports
