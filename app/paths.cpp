#include "app/paths.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "app/settings.h"
#include "platform/serial_names.h"

QString configurationDirectory(const QString &executableDirectory)
{
    if (::access(QFile::encodeName(executableDirectory).constData(), W_OK) == 0)
        return executableDirectory;
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Torvanel");
}

QString helpDirectory(const QString &executableDirectory)
{
    const QString installed = QDir::cleanPath(executableDirectory + QStringLiteral("/" TORVANEL_INSTALLED_HELP));
    const QString page = QStringLiteral("/torvanel_en.htm");
    return !QFileInfo::exists(executableDirectory + page) && QFileInfo::exists(installed + page)
               ? installed
               : executableDirectory;
}

void computePaths(Settings &s, const QString &executableDirectory)
{
    s.ExeDir = QDir::cleanPath(executableDirectory);
    const QString home = configurationDirectory(s.ExeDir);
    s.ConfigPath = home + QStringLiteral("/Torvanel.ini");
    s.BackupPath = home + QStringLiteral("/Torvanel.~in");
    // A link counts even when what it points to is missing: the reading then says whether the
    // save may make it.
    s.ConfigExisted = QFileInfo::exists(s.ConfigPath) || QFileInfo(s.ConfigPath).isSymLink();
    platform::setComportsParent(home);
}
