#pragma once

class QWidget;

// GNOME's compositor (mutter 43) places a window over the window it belongs to only when it knows
// the window as a modal dialog, which it learns through GTK's own protocol (gtk_shell1) alone;
// elsewhere it places the box as it places any window, away from the main one. Where the
// compositor offers that protocol, this marks the box as a modal dialog before its first frame,
// and so before the compositor places it. Elsewhere (X11, KWin, weston) it does nothing. Called
// before the box is first shown.
void markAsModalDialog(QWidget &box);
