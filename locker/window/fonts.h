#pragma once

#include <QFont>

// The window's typefaces, asked for by name. Where a face is not installed, a look-alike from
// the Debian font packages stands in (registered once, on first use).
QFont bookAntiqua(qreal pointSize, bool bold);
QFont comicSans(qreal pointSize, bool bold);
QFont msSerif(qreal pointSize);

// Registers the look-alike faces that ship in the program folder, so that the window looks the
// same whatever fonts the system has.
void loadBundledFonts(const QString &programFolder);
