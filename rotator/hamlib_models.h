#pragma once

#include <QList>
#include <QString>

// The rotator models of the Hamlib library this program is linked with.
struct HamlibModel {
    int number;  // Hamlib's model number, HAMLIB_MODEL
    QString manufacturer;
    QString name;
    QString status;  // "Stable", "Beta" ...
    bool serial;     // opened on a serial port, else on a device or host:port
};

// Hamlib quiet, unless TORVANEL_HAMLIB_DEBUG asks for its debug output, and its backends loaded:
// once, on the window's thread, before any other Hamlib call.
void prepareHamlib();

// Every model, by manufacturer and then by model name.
QList<HamlibModel> hamlibModels();
// False for a number that names no model.
bool isSerialModel(int model);
