#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "app/settings.h"

// One line sent to a controller, and the pause that follows it.
struct SerialLine {
    QByteArray text;
    int pauseAfter = 50;
};
using SerialLines = QList<SerialLine>;

// Everything that tells one serial controller from another; the track and stop skeletons
// are shared.
struct SerialProtocol {
    int rotator;  // ANT
    const char *trackName;
    const char *stopName;
    const char *channelName;  // ComPortGS ...
    int Settings::*step;
    int Settings::*stopSide;  // null: the controller has no stop side
    int Settings::*offset;
    int Settings::*port;
    int scale;  // units of a degree in the command: 1, 10 or 100
    // Lines of the position command for a command value; the label shows the first one.
    SerialLines (*position)(int value, const Settings &s);
    SerialLines stop;
    const char *stopLabel;  // null: the label keeps the last command
    SerialLines closing;    // sent at shutdown when the channel is still open
    bool cpmOffAfterOpen;
};

// Indexed by the position among the serial controllers, in ANT order.
const QList<SerialProtocol> &serialProtocols();
// The protocol of an interface, or null when it is not a serial controller.
const SerialProtocol *serialProtocol(int rotator);

// TrakBox: what the controller receives at shutdown, and the settings dialog's port test.
SerialLines trakBoxClosing(bool stayInHostMode);
SerialLines trakBoxPortTest();

constexpr char STX = '\x02';
