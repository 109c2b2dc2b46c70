#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "app/settings.h"

// The rotator models of the Hamlib library this program is linked with.
struct HamlibModel {
    int number;  // Hamlib's model number, HAMLIB_MODEL
    QString manufacturer;
    QString name;
    QString status;  // "Stable", "Beta" ...
    bool serial;     // opened on a serial port, else on a device or host:port
    bool portless;   // opened on nothing at all (Hamlib's dummy)
    // The serial rates the model accepts, in bauds (0 for a model that is not on a serial port).
    int slowestRate;
    int fastestRate;
    // The azimuths the model turns over, in whole degrees; none where it sets no whole turn of
    // its own: a network model's comes from its server when it is opened, an elevation model
    // has none.
    std::optional<Travel> travel;
};

// Hamlib quiet, unless TORVANEL_HAMLIB_DEBUG asks for its debug output, and its backends loaded:
// once, on the window's thread, before any other Hamlib call.
void prepareHamlib();

// Every model, by manufacturer and then by model name.
QList<HamlibModel> hamlibModels();
// None for a number that names no model.
std::optional<HamlibModel> hamlibModel(int number);
// False for a number that names no model.
bool isSerialModel(int model);
