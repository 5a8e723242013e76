#pragma once

class QFont;
class QWidget;

// On Wayland the toolkit draws the title bar itself, and its bar offers a maximize whatever the
// window's flags say and cuts a title that has to share a narrow bar with the buttons. There the
// window asks for no frame and gets one of its own: a bar with the icon, the whole title in the
// given face, a minimize button where the flags ask for one and a close button, and a one-pixel
// border. A window of placed controls grows around its client area, and its children move with
// the client area, so every control keeps its place in it; a window that a layout arranges (a
// message box) keeps its layout inside the frame and is widened where its title needs it.
// Elsewhere (the window manager's frame on X11, none offscreen) this does nothing. Called once
// the children exist and before the window is first shown.
void addOwnTitleBar(QWidget &window, const QFont &titleFont);
