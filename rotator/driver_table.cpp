#include "rotator/driver_table.h"

void DriverTable::add(int rotatorInterface, Operations operations)
{
    rows.at(rotatorInterface) = std::move(operations);
}

bool DriverTable::hasTrack(int rotatorInterface) const
{
    return rotatorInterface >= 0 && rotatorInterface < InterfaceCount && bool(rows[rotatorInterface].track);
}

bool DriverTable::track(int rotatorInterface) const
{
    if (!hasTrack(rotatorInterface))
        return false;
    rows[rotatorInterface].track();
    return true;
}

void DriverTable::stopAll() const
{
    for (int rotatorInterface : StopOrder) {
        if (rows[rotatorInterface].stop)
            rows[rotatorInterface].stop();
    }
}
