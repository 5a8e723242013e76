#pragma once

// Picks the window system before the application starts, where the desktop serves the program
// better through another than Qt's first choice. Call it before QApplication exists.
void chooseWindowSystem();
