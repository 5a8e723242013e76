#pragma once

// Whether the program's windows are Wayland windows: their compositor, not the program, decides
// where they go and which one is active, and tells the program where the pointer is only while
// it is over one of them.
bool onWayland();
