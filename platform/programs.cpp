#include "platform/programs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QString localPath(const QString &path, const QString &exeDir)
{
    QString local = path;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isAbsolutePath(local))
        return local;
    const QString base = exeDir.isEmpty() ? QCoreApplication::applicationDirPath() : exeDir;
    return base + QLatin1Char('/') + local;
}

QString movenowProgram(const QString &movenow, const QString &exeDir)
{
    const QString asGiven = localPath(movenow + QLatin1String("Movenow"), exeDir);
    if (QFileInfo(asGiven).isFile())
        return asGiven;
    return asGiven + QLatin1String(".com");
}

} // namespace platform
