#pragma once

#include <QString>

class QMenu;
class QWidget;

// Everything modal that the programs show: message boxes without an icon, and the pop-up menu.
// The programs use QtDialogs; tests put a scripted stand-in in its place.
class Dialogs {
public:
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Dialogs() = default;

    // Shows a modal box with the exact text (lines joined by "\r\n"), title and buttons, and
    // returns the button pressed. Closing the box counts as Cancel or No where those exist.
    virtual Answer message(QWidget *parent, const QString &text, const QString &title,
                           Buttons buttons) = 0;

    // Shows the menu at the mouse pointer, centred horizontally on it, and returns when an item
    // was chosen (its action has been triggered by then) or the menu was dismissed.
    virtual void popupMenu(QMenu &menu) = 0;
};

class QtDialogs : public Dialogs {
public:
    Answer message(QWidget *parent, const QString &text, const QString &title,
                   Buttons buttons) override;
    void popupMenu(QMenu &menu) override;
};
