#include "locker/window/geometry.h"

#include <QScreen>
#include <QWidget>

QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

void centreOnScreen(QWidget &window) {
    if (const QScreen *screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}
