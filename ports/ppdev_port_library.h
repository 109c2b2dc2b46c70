#pragma once

#include <map>
#include <memory>

#include "ports/parport_inventory.h"
#include "ports/port_library.h"

namespace ports {

// Takes a port from the kernel: 0, or the errno of the failure. The kernel's claim sleeps for as
// long as another program holds the port.
using ClaimStep = int (*)(int descriptor);
int claimWithPpdev(int descriptor);

struct PendingClaim;

// The library's operations on Linux's ppdev driver: a port is the /dev/parport<k> whose
// inventory entry gives its base address; writes to base go to the data register, to base + 2
// to the control register. A port that another program holds is refused like one that does not
// open; the claim stays queued in the kernel, and a later operation takes the port once it is
// free.
class PpdevPortLibrary : public PortLibrary
{
public:
    explicit PpdevPortLibrary(const QString &inventory = QLatin1String(defaultInventory),
                              const QString &devices = QLatin1String(defaultDevices),
                              ClaimStep claimStep = claimWithPpdev);
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
    void failWithError(const QString &what, int error);

    QString inventory;
    QString devices;
    ClaimStep claimStep;
    std::map<quint16, int> claimed; // base address -> descriptor of the claimed device
    std::map<quint16, std::shared_ptr<PendingClaim>> pending; // claims still waiting for a port
    int state = 0;
    QString stateText;
};

} // namespace ports
