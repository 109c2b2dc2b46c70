#pragma once

#include <QString>

struct Settings;

// Where Torvanel keeps its configuration file and COM names: beside the executable when that
// directory is writable (a portable or build directory), else in the user's own configuration
// directory ($XDG_CONFIG_HOME/Torvanel, by default ~/.config/Torvanel).
QString configurationDirectory(const QString &executableDirectory);

// Sets ExeDir, ConfigPath, BackupPath and ConfigExisted, and where comports/ is looked for.
void computePaths(Settings &s, const QString &executableDirectory);
