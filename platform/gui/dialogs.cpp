#include "platform/gui/dialogs.h"

#include "platform/gui/gtkshell.h"
#include "platform/gui/titlebar.h"
#include "platform/gui/wayland.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {

// While a box or menu is open, drops the clicks that are not meant for it: a click that began
// before it was shown, and one that comes within the desktop's double-click interval of its
// showing. Both most often finish a double click on the control that opened it, and would
// otherwise press what happens to lie under the pointer.
class EarlyClickFilter : public QObject {
public:
    explicit EarlyClickFilter(QWidget &shown) : m_shown(shown) {
        m_since.start();
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        const auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || widget->window() != &m_shown)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_pressed = m_since.elapsed() >= QApplication::doubleClickInterval();
            return !m_pressed;
        case QEvent::MouseButtonRelease:
            return !m_pressed;
        default:
            return false;
        }
    }

private:
    QWidget &m_shown;
    QElapsedTimer m_since;
    // Whether the button now down was pressed on the box or menu in its own time.
    bool m_pressed = false;
};

// Tells a screen reader of the menu's active item each time the menu appears. Qt tells of an item
// as it becomes active, which for an item made active before the menu is on screen goes unheard:
// the menu would open in silence.
class ActiveItemTeller : public QObject {
public:
    explicit ActiveItemTeller(QMenu &menu) : m_menu(menu) { menu.installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &m_menu && event->type() == QEvent::Show)
            QTimer::singleShot(0, this, [this] { tellActiveItem(); });
        return false;
    }

private:
    void tellActiveItem() {
        const auto item = m_menu.actions().indexOf(m_menu.activeAction());
        if (!m_menu.isVisible() || item < 0)
            return;
        QAccessibleEvent focus(&m_menu, QAccessible::Focus);
        focus.setChild(static_cast<int>(item));
        QAccessible::updateAccessibility(&focus);
    }

    QMenu &m_menu;
};

QMessageBox::StandardButtons standardButtons(Dialogs::Buttons buttons) {
    switch (buttons) {
    case Dialogs::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Dialogs::Buttons::YesNo:
    case Dialogs::Buttons::YesNoDefaultNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Dialogs::Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

Dialogs::Answer answerOf(int pressed) {
    switch (pressed) {
    case QMessageBox::Ok:
        return Dialogs::Answer::Ok;
    case QMessageBox::Yes:
        return Dialogs::Answer::Yes;
    case QMessageBox::No:
        return Dialogs::Answer::No;
    default:
        return Dialogs::Answer::Cancel;
    }
}

// The window that a menu belongs to, if any.
const QWidget *windowOf(const QMenu &menu) {
    return menu.parentWidget() ? menu.parentWidget()->window() : nullptr;
}

// A menu of a window opens at the pointer only while the pointer is over that window (frame
// included): elsewhere it would stand alone, with nothing to say which program asks. Never on
// Wayland: a client learns the pointer's place only while the pointer is over one of its own
// surfaces, and keeps the last one it learnt after it has left, so that a close from the keyboard
// would open the menu wherever the pointer last crossed the window.
bool opensAtPointer(const QMenu &menu, QPoint pointer) {
    const QWidget *window = windowOf(menu);
    return !window || (!onWayland() && window->frameGeometry().contains(pointer));
}

} // namespace

std::unique_ptr<QMessageBox> messageBox(QWidget *parent, const QString &text, const QString &title,
                                        Dialogs::Buttons buttons, const QFont &titleFont) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::NoIcon, title,
        QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
        standardButtons(buttons), parent);
    if (buttons == Dialogs::Buttons::YesNo || buttons == Dialogs::Buttons::YesNoDefaultNo)
        box->setEscapeButton(QMessageBox::No);
    if (buttons == Dialogs::Buttons::YesNoDefaultNo)
        box->setDefaultButton(QMessageBox::No);
    // As a child of its parent, the box is that window's transient, which KWin places over it;
    // GNOME's compositor does so only for a window that it knows as a modal dialog.
    addOwnTitleBar(*box, titleFont);
    markAsModalDialog(*box);
    return box;
}

Dialogs::Answer QtDialogs::message(QWidget *parent, const QString &text, const QString &title,
                                   Buttons buttons) {
    const auto box = messageBox(parent, text, title, buttons, m_titleFont);
    EarlyClickFilter filter(*box);
    return answerOf(box->exec());
}

QPoint popupMenuPosition(const QMenu &menu, QPoint pointer) {
    if (!opensAtPointer(menu, pointer)) {
        const QWidget *window = windowOf(menu);
        pointer = window->mapToGlobal(window->rect().center());
    }
    return pointer - QPoint(menu.sizeHint().width() / 2, 0);
}

// The menu is as often answered from the keyboard (a close by Enter on a button, Alt+F4, or one
// that the session's end asked for) as with the mouse: its first item is active at every
// opening, so that Enter or the arrows work at once; the pointer takes over once it moves.
void QtDialogs::popupMenu(QMenu &menu) {
    const QPoint pointer = QCursor::pos();
    if (!menu.actions().isEmpty())
        menu.setActiveAction(menu.actions().constFirst());
    EarlyClickFilter filter(menu);
    ActiveItemTeller teller(menu);
    menu.exec(popupMenuPosition(menu, pointer));
}
