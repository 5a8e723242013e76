#pragma once

#include <QLabel>

// A label whose change of text runs its change handler at once, inside the statement that
// changed it: the unlock and lock sequences advance by setting such a counter.
class ChangeLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // Hides QLabel::setText so that every change goes through here.
    void setText(const QString &text);

signals:
    // Connected directly: the handler has finished when setText returns.
    void Change();
};
