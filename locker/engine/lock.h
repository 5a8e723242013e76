#pragma once

class LockerWindow;

// Leaving with the locker open. "Lock Folder and Exit" records whether there is anything to lock,
// runs the encrypt script at the first tick of E_Timer, deletes it at the third and ends the
// program at the fourth, or once the run has ended if that is later; a run that failed is told
// of, and recorded as nothing locked. "Exit without Locking" ends it after a question.
void lock_Click(LockerWindow &w);
void E_Timer_Timer(LockerWindow &w);
void E_Label_Change(LockerWindow &w);
void nolock_Click(LockerWindow &w);
