#include "ports/port_library.h"

#include "ports/ppdev_port_library.h"

namespace ports {

namespace {
PortLibrary *current = nullptr;
}

PortLibrary &portLibrary()
{
    // Built on first use and destroyed at exit, which releases every claimed port.
    static PpdevPortLibrary ppdev;
    return current ? *current : ppdev;
}

void setPortLibrary(PortLibrary *library)
{
    current = library;
}

} // namespace ports
