#pragma once

class LockerWindow;

// Leaving with the locker open. "Lock Folder and Exit" runs the encrypt script at the first tick
// of E_Timer, deletes it at the third and ends the program at the fourth, or once the run has
// ended if that is later. Only a run that encrypted every file records the locker as locked; a
// run that failed is told of. "Exit without Locking" ends it after a question.
void lock_Click(LockerWindow &w);
void E_Timer_Timer(LockerWindow &w);
void E_Label_Change(LockerWindow &w);
void nolock_Click(LockerWindow &w);
