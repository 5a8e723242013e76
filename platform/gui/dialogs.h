#pragma once

#include <QFont>
#include <QPoint>
#include <QString>

#include <memory>
#include <utility>

class QMenu;
class QMessageBox;
class QWidget;

// Everything modal that the programs show: message boxes without an icon, and the pop-up menu.
// The programs use QtDialogs; tests put a scripted stand-in in its place.
class Dialogs {
public:
    // YesNoDefaultNo puts the default, which Enter presses, on No.
    enum class Buttons { Ok, OkCancel, YesNo, YesNoDefaultNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Dialogs() = default;

    // Shows a modal box with the exact text (lines joined by "\r\n"), title and buttons, and
    // returns the button pressed. Closing the box counts as Cancel or No where those exist.
    virtual Answer message(QWidget *parent, const QString &text, const QString &title,
                           Buttons buttons) = 0;

    // Shows the menu at the mouse pointer, centred horizontally on it (see popupMenuPosition for
    // where it goes when the pointer is elsewhere), and returns when an item
    // was chosen (its action has been triggered by then) or the menu was dismissed.
    virtual void popupMenu(QMenu &menu) = 0;
};

// Where the real pop-up menu puts its top left corner, in global coordinates, for the pointer at
// the given place: centred horizontally on the pointer while that is over the menu's window
// (frame included), else, and always on Wayland, on the centre of the window. A Wayland
// compositor tells a program where its windows are not at all: there the menu is placed relative
// to its window, which Qt makes it a pop-up of.
QPoint popupMenuPosition(const QMenu &menu, QPoint pointer);

// The box that QtDialogs::message shows: no icon, the text, title and buttons, Enter and Escape
// on the buttons they stand for, and on Wayland the frame of the program's own windows, with the
// title in the given face.
std::unique_ptr<QMessageBox> messageBox(QWidget *parent, const QString &text, const QString &title,
                                        Dialogs::Buttons buttons, const QFont &titleFont);

class QtDialogs : public Dialogs {
public:
    // The face of the title that a box draws in its own title bar on Wayland.
    explicit QtDialogs(QFont titleFont = {}) : m_titleFont(std::move(titleFont)) {}

    Answer message(QWidget *parent, const QString &text, const QString &title,
                   Buttons buttons) override;
    void popupMenu(QMenu &menu) override;

private:
    QFont m_titleFont;
};
