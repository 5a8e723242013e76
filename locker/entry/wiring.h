#pragma once

class LockerWindow;

// Connects the OK command, the keys of the password box, activation and focus to their handlers.
void connectEntry(LockerWindow &w);
