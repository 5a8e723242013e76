#pragma once

#include <QPushButton>

// A push button that the keyboard can work as well as the mouse: Enter presses it while it has
// the focus (outside a dialog a plain button takes only Space), and the focus is drawn as a ring
// in the highlight colour, which shows on the pictures as well as on a plain button.
class KeyboardButton : public QPushButton {
    Q_OBJECT
public:
    explicit KeyboardButton(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
