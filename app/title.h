#pragma once

#include <QString>

struct Settings;

// The main window's title: the version, the selected interface with its port and speed, and
// the parking azimuth when the selected interface is the one that parks, and where the antenna
// points while it is past a whole turn ("370° (overlap)").
QString titleText(const Settings &s);
