#pragma once

class LockerWindow;

// The auxiliary commands of the main window.
void Cancel_Click(LockerWindow &w);

// Connects the commands' controls to their handlers.
void connectCommands(LockerWindow &w);
