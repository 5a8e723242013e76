#include "locker/entry/wiring.h"

#include "locker/engine/wiring.h"
#include "locker/entry/password.h"
#include "locker/entry/startup.h"
#include "locker/window/commands.h"
#include "locker/window/lockerwindow.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Hands every character typed into the password box to Password_KeyPress and lets the box
// receive it as usual.
class KeyPressHook : public QObject {
public:
    explicit KeyPressHook(LockerWindow &w) : QObject(&w), m_window(w) {}

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent *>(event)->text();
            if (!text.isEmpty())
                Password_KeyPress(m_window, text.at(0).unicode());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    LockerWindow &m_window;
};

void connectEntry(LockerWindow &w) {
    QObject::connect(w.Ok, &QPushButton::clicked, &w, [&w] { Ok_Click(w); });
    w.Password->installEventFilter(new KeyPressHook(w));
    QObject::connect(&w, &LockerWindow::Form_Activate, &w, [&w] { Form_Activate(w); });
    QObject::connect(&w, &LockerWindow::Form_GotFocus, &w, [&w] { Form_GotFocus(w); });
}

} // namespace

void connectHandlers(LockerWindow &w) {
    connectCommands(w);
    connectEntry(w);
    connectEngine(w);
}
