#include "app/configuration.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QDir>
#include <QFileInfo>

#include "platform/error.h"
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

// Where the settings of a Torvanel.ini go: the file a symbolic link stands for is read and
// replaced where it lies, so that the link keeps working. Only a regular file is replaced, and
// one is created only where a folder awaits it (Torvanel's own folder is made); anything else,
// a device or a FIFO behind a link for instance, is refused, and refusal says why.
struct Destination {
    QString file;
    QString refusal;
};

Destination destination(const QString &path)
{
    QString file = path;
    int links = 0;
    for (; QFileInfo(file).isSymLink(); ++links) {
        // As many links in a row as the system itself follows.
        if (links == 40)
            return {file, QStringLiteral("it leads through too many symbolic links")};
        file = QFileInfo(file).symLinkTarget();
    }
    const QFileInfo info(file);
    if (info.exists() && !info.isFile())
        return {file, QStringLiteral("%1 is not a regular file").arg(file)};
    if (!info.exists() && links > 0 && !QFileInfo(info.absolutePath()).isDir())
        return {file, QStringLiteral("it links to %1, whose folder does not exist").arg(file)};
    return {file, QString()};
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
    const Destination destined = destination(s.ConfigPath);
    if (!destined.refusal.isEmpty()) {
        reading.error = QStringLiteral("Can't use %1: %2.\nTorvanel neither reads its settings from it nor saves them there.")
                            .arg(s.ConfigPath, destined.refusal);
        return reading;
    }
    const QString file = destined.file;
    // A link to a file yet to be made: the first save makes it.
    if (!QFileInfo::exists(file))
        return reading;
    QByteArray bytes;
    if (const QString reason = readWhole(file, bytes); !reason.isEmpty()) {
        reading.error = QStringLiteral("Can't read %1: %2").arg(s.ConfigPath, reason);
        if (const QString kept = keepRefused(file); !kept.isEmpty())
            reading.error += QStringLiteral(".\nIt is kept as %1, and Torvanel starts with its initial settings.").arg(kept);
        return reading;
    }
    const LinesRead lines = readConfiguration(bytes, s, target, reading.stored);
    reading.skippedLines = lines.skipped;
    if (lines.understood < lines.notUnderstood) {
        // Probably not a settings file at all: the save must not take its place.
        reading.error = QStringLiteral("%1 of the %2 lines of %3 were not understood")
                            .arg(lines.notUnderstood).arg(lines.understood + lines.notUnderstood).arg(s.ConfigPath);
        reading.stored.otherLines.clear();
        if (const QString kept = keepRefused(file); !kept.isEmpty())
            reading.error += QStringLiteral(".\nIt is kept as %1, and Torvanel takes only the settings it understood.").arg(kept);
    }
    return reading;
}

bool save_configuration(const Settings &s, const ConfigurationTarget &target,
                        const StoredChoices &stored)
{
    const Destination destined = destination(s.ConfigPath);
    if (!destined.refusal.isEmpty()) {
        // The start-up said so in its message; the program is closing now.
        platform::writeToStandardError(QStringLiteral("Torvanel: the settings are not saved in %1: %2.")
                                           .arg(s.ConfigPath, destined.refusal));
        return false;
    }
    const QString file = destined.file;
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
