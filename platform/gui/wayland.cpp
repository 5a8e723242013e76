#include "platform/gui/wayland.h"

#include <QGuiApplication>

bool onWayland() {
    // "wayland", and "wayland-egl" where a graphics driver draws the windows.
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
