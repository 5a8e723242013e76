#pragma once

#include <QString>

// A per-user base folder of the XDG base directory rules: the absolute path that the environment
// variable holds, else the folder below the home folder. A relative path in the variable is
// passed over, as those rules ask.
QString xdgFolder(const char *variable, const QString &belowHome);
