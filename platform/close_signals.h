#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// Turns SIGTERM, SIGINT, SIGHUP and the end of the desktop session into one request, delivered
// on the user-interface thread, to close the program the ordinary way.
class CloseSignals : public QObject
{
    Q_OBJECT
public:
    explicit CloseSignals(QObject *parent = nullptr);
    ~CloseSignals() override;

signals:
    // Emitted for every request: a second one may cut a long closing short.
    void closeRequested();

private:
    void request();

    QSocketNotifier *notifier = nullptr;
};

} // namespace platform
