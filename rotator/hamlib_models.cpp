#include "rotator/hamlib_models.h"

#include <algorithm>
#include <cmath>

#include <hamlib/rotator.h>

namespace {

HamlibModel modelOf(const rot_caps &caps)
{
    const bool serial = caps.port_type == RIG_PORT_SERIAL;
    const bool network = caps.port_type == RIG_PORT_NETWORK || caps.port_type == RIG_PORT_UDP_NETWORK;
    // Rounded: a range given as 0..359.9 is one turn.
    const Travel range{int(std::lround(caps.min_az)), int(std::lround(caps.max_az))};
    std::optional<Travel> travel;
    if (!network && checkTravel(Hamlib, range) == TravelCheck::Fits)
        travel = range;
    return {int(caps.rot_model), QString::fromUtf8(caps.mfg_name), QString::fromUtf8(caps.model_name),
            QString::fromUtf8(rig_strstatus(caps.status)), serial, caps.port_type == RIG_PORT_NONE,
            serial ? caps.serial_rate_min : 0,
            serial ? caps.serial_rate_max : 0, travel};
}

} // namespace

void prepareHamlib()
{
    static const bool prepared = [] {
        bool ok = false;
        const int level = qEnvironmentVariableIntValue("TORVANEL_HAMLIB_DEBUG", &ok);
        rig_set_debug(ok && level >= RIG_DEBUG_BUG && level <= RIG_DEBUG_TRACE ? rig_debug_level_e(level)
                                                                                : RIG_DEBUG_NONE);
        rot_load_all_backends();
        return true;
    }();
    Q_UNUSED(prepared);
}

QList<HamlibModel> hamlibModels()
{
    prepareHamlib();
    QList<HamlibModel> models;
    rot_list_foreach(
        [](const rot_caps *caps, rig_ptr_t list) {
            static_cast<QList<HamlibModel> *>(list)->append(modelOf(*caps));
            return 1;  // go on
        },
        &models);
    std::sort(models.begin(), models.end(), [](const HamlibModel &a, const HamlibModel &b) {
        const int byMaker = a.manufacturer.compare(b.manufacturer, Qt::CaseInsensitive);
        return byMaker != 0 ? byMaker < 0 : a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return models;
}

std::optional<HamlibModel> hamlibModel(int number)
{
    prepareHamlib();
    const rot_caps *caps = rot_get_caps(rot_model_t(number));
    return caps ? std::optional(modelOf(*caps)) : std::nullopt;
}

bool isSerialModel(int model)
{
    const std::optional<HamlibModel> found = hamlibModel(model);
    return found && found->serial;
}
