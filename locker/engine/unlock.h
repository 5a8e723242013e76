#pragma once

class LockerWindow;

// The unlock sequence: the decrypt script runs at the first tick of D_Timer and is deleted at the
// fourth, or once its run has ended if that is later, when the locker folder is created if
// needed, opened on the desktop, and the window shows the locker menu.

// Hands over from an accepted password: the window waits, the script is prepared, the timer runs.
void startUnlocking(LockerWindow &w);

void D_Timer_Timer(LockerWindow &w);
void D_Label_Change(LockerWindow &w);
