#pragma once

class LockerWindow;

// The OK command: sets the first password, confirms it, sets a new one during a change, and
// verifies a typed password or the master access code. Its mode is read from the captions of
// Ok and Cancel at each step.
void Ok_Click(LockerWindow &w);

// Enter (character code 13) in the password box runs the OK command; the key is not consumed.
void Password_KeyPress(LockerWindow &w, int KeyAscii);
