#include "locker/window/keyboardbutton.h"

#include <QPainter>

KeyboardButton::KeyboardButton(QWidget *parent) : QPushButton(parent) {
    setAutoDefault(true);
}

void KeyboardButton::paintEvent(QPaintEvent *event) {
    QPushButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 3, 3);
}
