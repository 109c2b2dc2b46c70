#include "rotator/driver_table.h"

#include <exception>

void DriverTable::add(int rotatorInterface, Operations operations)
{
    rows.at(rotatorInterface) = std::move(operations);
}

bool DriverTable::hasTrack(int rotatorInterface) const
{
    return rotatorInterface >= 0 && rotatorInterface < InterfaceCount && bool(rows[rotatorInterface].track);
}

bool DriverTable::track(int rotatorInterface, Done done) const
{
    if (!hasTrack(rotatorInterface))
        return false;
    rows[rotatorInterface].track(std::move(done));
    return true;
}

bool DriverTable::busy(int rotatorInterface) const
{
    return rotatorInterface >= 0 && rotatorInterface < InterfaceCount && rows[rotatorInterface].busy
        && rows[rotatorInterface].busy();
}

void DriverTable::stopAll() const
{
    // One interface failing to stop must not keep the others running: the first error is
    // raised once every stop has been tried.
    std::exception_ptr firstError;
    for (int rotatorInterface : StopOrder) {
        if (!rows[rotatorInterface].stop)
            continue;
        try {
            rows[rotatorInterface].stop();
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}
