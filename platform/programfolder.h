#pragma once

#include <QString>

// The folder that holds the running program file, without a trailing "/" except at the root.
QString runningProgramFolder();
