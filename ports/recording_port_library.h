#pragma once

#include <QList>
#include <QMap>

#include "ports/port_library.h"

namespace ports {

// Records every call in order instead of touching hardware. Pauses between writes are recorded
// through recordPause, so that a write sequence reads with its waits where they happened.
class RecordingPortLibrary : public PortLibrary
{
public:
    struct Call {
        QString operation;     // the operation's name; "wait" for a pause
        // As passed (addresses, LPT number, milliseconds), but a written value as its low byte,
        // which is all the adapter receives.
        QList<int> arguments;
        bool operator==(const Call &) const = default;
    };

    QList<Call> calls;
    QMap<int, quint16> lptAddresses; // what GetLPTPortAddress answers, by LPT number
    bool failing = false;            // while set, enables, disables and writes fail
    bool winNT = true;

    quint16 GetLPTPortAddress(int lptNumber) override;
    void EnablePorts(quint16 first, quint16 last) override;
    void DisablePorts(quint16 first, quint16 last) override;
    bool IsWinNT() override;
    void Outport(quint16 port, quint16 value) override;
    int GetLastState(QString *text = nullptr) override;

    void recordPause(int ms);
    // The writes and pauses only: what the adapter would have seen, in order.
    QList<Call> outputs() const;
    void clear();

private:
    void act(const QString &operation, QList<int> arguments);

    int state = 0;
};

// Installs a recording library for the lifetime of a test scope.
class ScopedRecordingPortLibrary
{
public:
    ScopedRecordingPortLibrary() { setPortLibrary(&recorder); }
    ~ScopedRecordingPortLibrary() { setPortLibrary(nullptr); }
    RecordingPortLibrary *operator->() { return &recorder; }
    RecordingPortLibrary &operator*() { return recorder; }

private:
    RecordingPortLibrary recorder;
};

} // namespace ports
