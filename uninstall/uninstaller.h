#pragma once

#include <QString>

class Dialogs;

// The uninstaller's whole run: checks the folder and the hand-off from the main program, asks
// for confirmation, deletes the program's files and this folder's settings, and says what is
// left to delete by hand. It never touches the Locker folder.
void runUninstall(const QString &programFolder, Dialogs &dialogs);
