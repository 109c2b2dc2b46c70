#include "app/configuration.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QDir>
#include <QFileInfo>

#include "platform/ui_services.h"

namespace configuration {

namespace {

// The file holds about a hundred short lines; anything this large is not one of ours.
constexpr qint64 largestFile = 1024 * 1024;

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

// Writes the new content to the temporary path, on disk and without write permission, then
// renames it over the target, so that the target is at every moment the whole old or the whole
// new file.
bool replaceFile(const QString &target, const QString &temporary, const QByteArray &bytes)
{
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    // A copy left by an earlier run; read-only does not keep it from going.
    ::unlink(temporaryName.constData());
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat status;
    bool written = writeAll(fd, bytes) && ::fstat(fd, &status) == 0
                   && ::fchmod(fd, status.st_mode & 07555) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporaryName.constData(), targetName.constData()) != 0) {
        ::unlink(temporaryName.constData());
        return false;
    }
    // Makes the rename itself durable; a failure here leaves a complete file either way.
    const QByteArray directory = QFile::encodeName(QFileInfo(target).absolutePath());
    const int directoryFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd >= 0) {
        ::fsync(directoryFd);
        ::close(directoryFd);
    }
    return true;
}

} // namespace

ConfigurationReading load_configuration(Settings &s, ConfigurationTarget &target)
{
    ConfigurationReading reading;
    const auto failed = [&](const QString &reason) {
        reading.error = QStringLiteral("Can't read %1: %2").arg(s.ConfigPath, reason);
        return reading;
    };
    const QString tooLarge = QStringLiteral("it is larger than 1 MiB");
    const QFileInfo info(s.ConfigPath);
    if (!info.isFile())
        return failed(QStringLiteral("it is not a file"));
    if (info.size() > largestFile)
        return failed(tooLarge);
    QFile file(s.ConfigPath);
    if (!file.open(QIODevice::ReadOnly))
        return failed(file.errorString());
    // The file can grow between the look and the reading.
    const QByteArray bytes = file.read(largestFile + 1);
    if (file.error() != QFileDevice::NoError)
        return failed(file.errorString());
    if (bytes.size() > largestFile)
        return failed(tooLarge);
    reading.skippedLines = readConfiguration(bytes, s, target, reading.stored);
    return reading;
}

bool save_configuration(const Settings &s, const ConfigurationTarget &target,
                        const StoredChoices &stored)
{
    // The per-user directory is made when the file is first saved there.
    QDir().mkpath(QFileInfo(s.ConfigPath).absolutePath());
    if (replaceFile(s.ConfigPath, s.BackupPath, configurationText(s, target, stored)))
        return true;
    platform::ui().message(platform::MessageKind::Error, s.MsgCannotCreateConfig);
    return false;
}

} // namespace configuration
