#include "ports/ppdev_port_library.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <mutex>
#include <sys/ioctl.h>
#include <system_error>
#include <thread>
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

// A free port is claimed at once; this long the window may wait for one that is not.
constexpr std::chrono::milliseconds claimWait(100);

// Gives a claimed port back and closes its device: 0, or the errno of a failed release.
int releaseAndClose(int descriptor, bool claimedPort)
{
    const int error = claimedPort && ::ioctl(descriptor, PPRELEASE) != 0 ? errno : 0;
    ::close(descriptor);
    return error;
}
}

int claimWithPpdev(int descriptor)
{
    // An interrupted claim stays queued in the kernel; asking again picks up where it was.
    while (::ioctl(descriptor, PPCLAIM) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

// A claim on a thread of its own, so that the window never sleeps in the kernel. The thread
// may outlive the library: whichever side lets go of the claim last closes the device.
struct PendingClaim {
    int descriptor = -1;
    std::mutex mutex;
    std::condition_variable answered;
    bool finished = false;
    int error = 0;
    bool abandoned = false;

    static std::shared_ptr<PendingClaim> start(int descriptor, ClaimStep step)
    {
        auto claim = std::make_shared<PendingClaim>();
        claim->descriptor = descriptor;
        std::thread([claim, step] {
            const int error = step(claim->descriptor);
            std::unique_lock lock(claim->mutex);
            claim->error = error;
            claim->finished = true;
            if (claim->abandoned) {
                lock.unlock();
                releaseAndClose(claim->descriptor, error == 0);
            } else {
                claim->answered.notify_all();
            }
        }).detach();
        return claim;
    }

    // Whether the kernel has answered, waiting for it at most the given time.
    bool finishedWithin(std::chrono::milliseconds wait)
    {
        std::unique_lock lock(mutex);
        return answered.wait_for(lock, wait, [this] { return finished; });
    }

    void abandon()
    {
        std::unique_lock lock(mutex);
        abandoned = !finished;
        if (finished) {
            lock.unlock();
            releaseAndClose(descriptor, error == 0);
        }
    }
};

PpdevPortLibrary::PpdevPortLibrary(const QString &inventory, const QString &devices, ClaimStep claimStep)
    : inventory(inventory), devices(devices), claimStep(claimStep)
{
}

PpdevPortLibrary::~PpdevPortLibrary()
{
    while (!claimed.empty())
        release(claimed.begin()->first);
    for (const auto &[base, claim] : pending)
        claim->abandon();
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
    std::erase_if(pending, [first, last](const auto &entry) {
        const bool withdrawn = overlaps(entry.first, first, last);
        if (withdrawn)
            entry.second->abandon();
        return withdrawn;
    });
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
        return failWithError(QStringLiteral("Write to ") + hex(port), errno);
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
    std::shared_ptr<PendingClaim> attempt;
    auto wait = claimWait;
    if (const auto earlier = pending.find(base); earlier != pending.end()) {
        // Still queued from an earlier operation: the port may have come free since.
        attempt = earlier->second;
        pending.erase(earlier);
        wait = {};
    } else {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            failWithError(path, errno);
            return false;
        }
        try {
            attempt = PendingClaim::start(fd, claimStep);
        } catch (const std::system_error &error) {
            ::close(fd);
            failWithError(path, error.code().value());
            return false;
        }
    }
    if (!attempt->finishedWithin(wait)) {
        pending[base] = attempt;
        fail(EBUSY, path + QLatin1String(": held by another program"));
        return false;
    }
    if (attempt->error != 0) {
        ::close(attempt->descriptor);
        failWithError(path, attempt->error);
        return false;
    }
    claimed[base] = attempt->descriptor;
    return true;
}

void PpdevPortLibrary::release(quint16 base)
{
    const int fd = claimed.at(base);
    claimed.erase(base);
    if (const int error = releaseAndClose(fd, true))
        failWithError(QStringLiteral("Release of ") + hex(base), error);
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

void PpdevPortLibrary::failWithError(const QString &what, int error)
{
    fail(error, what + QLatin1String(": ") + qt_error_string(error));
}

} // namespace ports
