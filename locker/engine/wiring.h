#pragma once

class LockerWindow;

// Connects the timers, counters, exit menu, ExitProgram and the close decision to their handlers.
void connectEngine(LockerWindow &w);
