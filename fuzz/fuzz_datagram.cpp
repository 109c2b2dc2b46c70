// Any bytes as a logger datagram: the parser never fails, and an azimuth it finds is always
// one the azimuth box accepts.
#include <cstdint>
#include <cstdlib>

#include "sources/datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<int> azimuth = datagram::goAzimuth(bytes);
    if (azimuth && (*azimuth < 0 || *azimuth > 360))
        std::abort();
    datagram::holdsStop(bytes);
    if (datagram::text(bytes).size() != bytes.size())
        std::abort();
    return 0;
}
