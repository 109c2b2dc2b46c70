#pragma once

#include <QString>

// Program files named the way the configuration names them.
namespace platform {

// A path written as on Windows ("c:\radio\kct\"): backslashes are path delimiters, and a
// relative path lies in the executable's directory (exeDir; the application's own when empty).
QString localPath(const QString &path, const QString &exeDir);

// The KCT program of the directory MOVENOW (text ending with its delimiter): the file
// MOVENOW + "Movenow" when it exists, else the same with ".com", the extension the system
// would complete.
QString movenowProgram(const QString &movenow, const QString &exeDir);

} // namespace platform
