#pragma once

#include <QByteArray>
#include <QString>

// Tarvolen --add-to-menu: writes the application menu's entry for this program folder and says
// on standard output what it wrote, or on standard error why not. Needs no display. Returns the
// exit code: 0 when the entry is written, else 1.
int addToMenu(const QString &programFolder);

// The program's icon as a PNG file holds it, for its desktop entries.
QByteArray programIcon();
