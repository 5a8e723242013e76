#pragma once

#include <QFont>

// The window's typefaces, asked for by name. Where a face is not installed, a look-alike from
// the Debian font packages stands in (registered once, on first use).
QFont bookAntiqua(qreal pointSize, bool bold);
QFont comicSans(qreal pointSize, bool bold);
QFont msSerif(qreal pointSize);
// The title of the frame that the windows and message boxes draw for themselves on Wayland: a
// face that ships with the program, so that a title measures the same on every desktop.
QFont titleBarFont();

// Registers the look-alike faces that ship in the program folder, so that the window looks the
// same whatever fonts the system has.
void loadBundledFonts(const QString &programFolder);
