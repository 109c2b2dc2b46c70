#include "app/configuration.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QDir>
#include <QFileInfo>

#include "platform/ui_services.h"

namespace configuration {

namespace {

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

// The file a Torvanel.ini that is a symbolic link stands for, which is read and replaced where it
// lies so that the link keeps working. It need not exist yet.
QString linkTarget(const QString &path)
{
    QString file = path;
    // As many links in a row as the system itself follows.
    for (int links = 0; links < 40 && QFileInfo(file).isSymLink(); ++links)
        file = QFileInfo(file).symLinkTarget();
    return file;
}

// The whole file, or why the reader refuses it.
QString readWhole(const QString &path, QByteArray &bytes)
{
    const QString tooLarge = QStringLiteral("it is larger than 1 MiB");
    if (QFileInfo(path).size() > largestFile)
        return tooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    // The file can grow between the look and the reading.
    bytes = file.read(largestFile + 1);
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return bytes.size() > largestFile ? tooLarge : QString();
}

// The save at exit would replace a file that could not be read: it moves aside, whole, under the
// first free name of Torvanel.ini.refused, Torvanel.ini.refused.2, ... Empty when it stays.
QString keepRefused(const QString &path)
{
    for (int copy = 1;; ++copy) {
        const QString kept = path + QStringLiteral(".refused")
                             + (copy == 1 ? QString() : u'.' + QString::number(copy));
        if (QFileInfo::exists(kept))
            continue;
        const bool moved = ::rename(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()) == 0;
        return moved ? kept : QString();
    }
}

} // namespace

ConfigurationReading load_configuration(Settings &s, ConfigurationTarget &target)
{
    ConfigurationReading reading;
    const QString file = linkTarget(s.ConfigPath);
    if (!QFileInfo(file).isFile()) {
        reading.error = QStringLiteral("Can't read %1: it is not a file").arg(s.ConfigPath);
        return reading;
    }
    QByteArray bytes;
    if (const QString reason = readWhole(file, bytes); !reason.isEmpty()) {
        reading.error = QStringLiteral("Can't read %1: %2").arg(s.ConfigPath, reason);
        if (const QString kept = keepRefused(file); !kept.isEmpty())
            reading.error += QStringLiteral(".\nIt is kept as %1, and Torvanel starts with its initial settings.").arg(kept);
        return reading;
    }
    reading.skippedLines = readConfiguration(bytes, s, target, reading.stored);
    return reading;
}

bool save_configuration(const Settings &s, const ConfigurationTarget &target,
                        const StoredChoices &stored)
{
    const QString file = linkTarget(s.ConfigPath);
    const QString directory = QFileInfo(file).absolutePath();
    // The per-user directory is made when the file is first saved there.
    QDir().mkpath(directory);
    const QString temporary = directory + u'/' + QFileInfo(s.BackupPath).fileName();
    if (replaceFile(file, temporary, configurationText(s, target, stored)))
        return true;
    platform::ui().message(platform::MessageKind::Error, s.MsgCannotCreateConfig);
    return false;
}

} // namespace configuration
