#pragma once

#include <QString>

// Removes the program's files from the program folder, its menu entry and its settings, and last
// its bundle of libraries. Stops at the first file that may not be changed (the main program
// still running, say) and returns false; any other failure, a file that is already gone above
// all, is passed over.
bool removeProgram(const QString &programFolder);
