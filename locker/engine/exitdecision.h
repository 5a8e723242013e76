#pragma once

class LockerWindow;

// The decision taken whenever the main window is asked to close: returns the cancel value,
// non-zero to keep the window open. While the locker is open it first offers the exit menu.
int Form_Unload(LockerWindow &w);

void ExitProgram_Click(LockerWindow &w);
