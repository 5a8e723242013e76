#pragma once

#include <QString>

// The folder that holds the running program file, without a trailing "/" except at the root.
QString runningProgramFolder();

// The one folder beside the programs that holds what they bring with them: libraries, Qt's
// plugins and the window's fonts.
QString bundleFolder(const QString &programFolder);
