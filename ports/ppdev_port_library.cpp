#include "ports/ppdev_port_library.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

#include <QFile>

namespace ports {

namespace {
QString hex(int address)
{
    return QLatin1String("0x") + QString::number(address, 16).toUpper();
}

// The registers base .. base + 2 of a port overlap the range.
bool overlaps(quint16 base, quint16 first, quint16 last)
{
    return int(base) <= int(last) && int(base) + 2 >= int(first);
}
}

PpdevPortLibrary::PpdevPortLibrary(const QString &inventory, const QString &devices)
    : inventory(inventory), devices(devices)
{
}

PpdevPortLibrary::~PpdevPortLibrary()
{
    while (!claimed.empty())
        release(claimed.begin()->first);
}

quint16 PpdevPortLibrary::GetLPTPortAddress(int lptNumber)
{
    return lptNumber >= 1 ? parportBaseAddress(inventory, lptNumber - 1) : 0;
}

void PpdevPortLibrary::EnablePorts(quint16 first, quint16 last)
{
    if (first > last)
        std::swap(first, last);
    bool found = false;
    for (int k : parportNumbers(inventory)) {
        const quint16 base = parportBaseAddress(inventory, k);
        if (base == 0 || !overlaps(base, first, last))
            continue;
        found = true;
        if (!claimed.count(base) && !claim(k, base))
            return;
    }
    if (!found)
        return fail(ENODEV, QStringLiteral("No parallel port at %1 to %2").arg(hex(first), hex(last)));
    succeed();
}

void PpdevPortLibrary::DisablePorts(quint16 first, quint16 last)
{
    if (first > last)
        std::swap(first, last);
    succeed();
    for (auto it = claimed.begin(); it != claimed.end();) {
        const quint16 base = (it++)->first;
        if (overlaps(base, first, last))
            release(base);
    }
}

void PpdevPortLibrary::Outport(quint16 port, quint16 value)
{
    auto isRegisterOf = [port](quint16 base) { return port == base || int(port) == int(base) + 2; };
    quint16 base = 0;
    for (const auto &[claimedBase, fd] : claimed) {
        if (isRegisterOf(claimedBase))
            base = claimedBase;
    }
    // Like the Windows library, a write needs no earlier EnablePorts: the port is claimed now.
    if (base == 0) {
        for (int k : parportNumbers(inventory)) {
            const quint16 candidate = parportBaseAddress(inventory, k);
            if (candidate != 0 && isRegisterOf(candidate)) {
                if (!claim(k, candidate))
                    return;
                base = candidate;
                break;
            }
        }
    }
    if (base == 0)
        return fail(ENXIO, QStringLiteral("No data or control register of a parallel port at %1").arg(hex(port)));
    unsigned char byte = value & 0xFF;
    // ppdev keeps the interrupt and direction bits of the control register for itself.
    if (::ioctl(claimed.at(base), port == base ? PPWDATA : PPWCONTROL, &byte) != 0)
        return failWithErrno(QStringLiteral("Write to ") + hex(port));
    succeed();
}

int PpdevPortLibrary::GetLastState(QString *text)
{
    if (text)
        *text = stateText;
    return state;
}

bool PpdevPortLibrary::claim(int k, quint16 base)
{
    const QString path = devices + QLatin1String("/parport") + QString::number(k);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        failWithErrno(path);
        return false;
    }
    if (::ioctl(fd, PPCLAIM) != 0) {
        failWithErrno(path);
        ::close(fd);
        return false;
    }
    claimed[base] = fd;
    return true;
}

void PpdevPortLibrary::release(quint16 base)
{
    const int fd = claimed.at(base);
    claimed.erase(base);
    if (::ioctl(fd, PPRELEASE) != 0)
        failWithErrno(QStringLiteral("Release of ") + hex(base));
    ::close(fd);
}

void PpdevPortLibrary::succeed()
{
    state = 0;
    stateText.clear();
}

void PpdevPortLibrary::fail(int code, const QString &text)
{
    // A failure the system gave no number for still has to read as non-zero.
    state = code != 0 ? code : -1;
    stateText = text;
}

void PpdevPortLibrary::failWithErrno(const QString &what)
{
    const int error = errno;
    fail(error, what + QLatin1String(": ") + qt_error_string(error));
}

} // namespace ports
