#pragma once

class LockerWindow;

// The decision taken whenever the main window is asked to close: returns the cancel value,
// non-zero to keep the window open. While the locker is being opened or locked the window waits
// for the run; while it is open the exit menu comes first. When the program ends whatever is
// chosen (the Uninstall command), only a confirmed "Exit without Locking" leaves it unlocked.
int Form_Unload(LockerWindow &w);

void ExitProgram_Click(LockerWindow &w);

// The locker is open and not yet being locked.
bool lockerOpen(const LockerWindow &w);
// From "Lock Folder and Exit" until the lock sequence has ended, by its last tick or by a failure.
bool lockingUnderWay(const LockerWindow &w);
