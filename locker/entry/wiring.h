#pragma once

class LockerWindow;

// Connects every control, timer, counter and event of the window to its handler, as the program
// runs it: the commands, the OK command and the password box, the sequences, the exit menu and
// the close decision.
void connectHandlers(LockerWindow &w);
