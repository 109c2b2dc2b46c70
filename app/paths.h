#pragma once

#include <QString>

struct Settings;

// Where Torvanel keeps its configuration file and COM names: beside the executable when that
// directory is writable (a portable or build directory), else in the user's own configuration
// directory ($XDG_CONFIG_HOME/Torvanel, by default ~/.config/Torvanel).
QString configurationDirectory(const QString &executableDirectory);

// Where the help pages lie: beside the executable when they are there (a portable or build
// directory), else where an install put them relative to it.
QString helpDirectory(const QString &executableDirectory);

// Sets ExeDir, ConfigPath, BackupPath and ConfigExisted, and where comports/ is looked for.
void computePaths(Settings &s, const QString &executableDirectory);
