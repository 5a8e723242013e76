#pragma once

#include <QString>

class QWidget;

// What the windows tell a screen reader beyond what Qt tells of their controls.

// Keeps what is typed into a password box off the accessibility bus: the text that the box's
// change notices carry becomes the box's mask character, one per typed character, as the box
// shows it, and nothing at all for a box that shows nothing. Also exposes the main window as a
// frame and the About window as a dialog, so that a screen reader reads the note of the latter
// when it opens. Installed once per process; later calls do nothing more.
void installScreenReaderSupport();

// Has a screen reader say the text at once, as a notification of the window that holds within.
void announce(QWidget &within, const QString &text);
