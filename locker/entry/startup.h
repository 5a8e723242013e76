#pragma once

class LockerWindow;

// Prepares the window before it is first shown: refuses a temporary folder, removes cipher script
// copies that a killed run left behind, picks the password mode from the stored password, shows
// the locker's state, resets the uninstall marker and sets the Master Key box.
void Form_Load(LockerWindow &w);

// Both only put the keyboard focus into the password box.
void Form_Activate(LockerWindow &w);
void Form_GotFocus(LockerWindow &w);
