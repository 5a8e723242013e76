#include "locker/window/changelabel.h"

ChangeLabel::ChangeLabel(const QString &text, QWidget *parent) : QWidget(parent), m_text(text) {}

void ChangeLabel::setText(const QString &text) {
    if (text == m_text)
        return;
    m_text = text;
    emit Change();
}
