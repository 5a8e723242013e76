#include "locker/window/changelabel.h"

void ChangeLabel::setText(const QString &text) {
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    emit Change();
}
