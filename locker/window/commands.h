#pragma once

class LockerWindow;

// The auxiliary commands of the main window, each the click handler of its control.
void Cancel_Click(LockerWindow &w);
void ChangePassword_Click(LockerWindow &w);
void OpenLocker_Click(LockerWindow &w);
void MasterCheck_Click(LockerWindow &w);
void Help_Click(LockerWindow &w);
void Uninstall_Click(LockerWindow &w);
void Command1_Click(LockerWindow &w);

// Connects the commands' controls to their handlers.
void connectCommands(LockerWindow &w);
