#pragma once

class LockerWindow;

// Connects the timers, counters, exit menu, ExitProgram, the close decision and the desktop's
// requests to end the session to their handlers.
void connectEngine(LockerWindow &w);
