#include "platform/gui/windowsystem.h"

#include <QByteArrayList>
#include <QtGlobal>

namespace {

bool isSet(const char *name) {
    return !qgetenv(name).isEmpty();
}

// KDE Plasma's session manager speaks XSMP alone: a native Wayland window is never asked at a
// logout and simply ends with the display, leaving the locking to the guard in whatever time the
// system gives it. Through XWayland the logout comes as a question, which the exit menu answers
// before the session ends.
bool onPlasmaWayland() {
    return isSet("WAYLAND_DISPLAY") && isSet("DISPLAY") &&
           qgetenv("XDG_CURRENT_DESKTOP").split(':').contains("KDE");
}

} // namespace

// A window system the user asked for stays the user's choice.
void chooseWindowSystem() {
    if (!isSet("QT_QPA_PLATFORM") && onPlasmaWayland())
        qputenv("QT_QPA_PLATFORM", "xcb");
}
