#include "locker/engine/sessionend.h"

#include "locker/engine/cipherscripts.h"
#include "locker/engine/exitdecision.h"
#include "locker/engine/lock.h"
#include "locker/window/captions.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/sessionhold.h"
#include "platform/gui/shell.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QSessionManager>
#include <QTimer>

namespace {

// Qt's session manager: on X11, a session manager speaking XSMP.
class QtSessionEnd : public SessionEndRequest {
public:
    explicit QtSessionEnd(QSessionManager &manager) : m_manager(manager) {}
    bool allowsInteraction() override { return m_manager.allowsInteraction(); }
    void cancel() override { m_manager.cancel(); }

private:
    QSessionManager &m_manager;
};

// The desktop portal and GNOME's session manager over D-Bus have nothing to cancel with: the
// hold that stays in place keeps the session.
class DesktopSessionEnd : public SessionEndRequest {
public:
    bool allowsInteraction() override { return true; }
    void cancel() override {}
};

// Qt delivers an XSMP session manager's Die as a Quit event from the window system, and would
// then ask every window to close, which brings up the exit menu while the session manager waits.
class DieFilter : public QObject {
public:
    explicit DieFilter(LockerWindow &w) : QObject(&w), m_window(w) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != qApp || event->type() != QEvent::Quit || !event->spontaneous())
            return false;
        endWithTheSession(m_window);
        return true;
    }

private:
    LockerWindow &m_window;
};

// Goes on over the sequences' ticks while the window is busy as told, and no longer than the
// program lives: its end for the session ends the wait too.
template <typename Busy> void waitWhile(LockerWindow &w, Busy busy) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (!busy() || w.isUnloaded())
            loop.quit();
    });
    check.start(50);
    loop.exec();
}

} // namespace

void holdSession(LockerWindow &w) {
    if (w.sessionHold)
        return;
    w.sessionHold = w.shell().holdSession(w.path(kEncryptScript.shipped),
                                          QStringLiteral("The open locker is locked first"));
    // Queued: the request arrives in the middle of the desktop's call, and the answer asks the
    // user or destroys the hold.
    QObject::connect(
        w.sessionHold.get(), &SessionHold::endRequested, &w,
        [&w] {
            DesktopSessionEnd request;
            answerSessionEnd(w, request);
        },
        Qt::QueuedConnection);
    QObject::connect(
        w.sessionHold.get(), &SessionHold::lockRequested, &w, [&w] { lockForTheSession(w); },
        Qt::QueuedConnection);
    QObject::connect(
        w.sessionHold.get(), &SessionHold::ending, &w, [&w] { endWithTheSession(w); },
        Qt::QueuedConnection);
}

void releaseSession(LockerWindow &w) {
    if (!w.sessionHold)
        return;
    w.sessionHold->release();
    w.sessionHold.reset();
}

void answerSessionEnd(LockerWindow &w, SessionEndRequest &request) {
    // Asking for the turn to interact already holds up the session manager's dialog.
    if (!w.sessionHold || w.sessionHold->desktopAsks() || !request.allowsInteraction())
        return;
    // A locker being opened is asked about once it is open, as at any other time: a question now
    // could only be refused, and the end of the session with it. The session manager meanwhile
    // waits, or lists the program as one that holds the session up.
    waitWhile(w, [&w] { return w.Label1->text() == Caption::PleaseWait; });
    if (!w.sessionHold)
        return;
    w.bringToFront();
    w.close();
    // "Lock Folder and Exit" goes on over the lock sequence's ticks and ends the program at the
    // last one, after telling of a failure if there was one.
    waitWhile(w, [&w] { return w.E_Timer->isActive(); });
    if (!w.isUnloaded())
        request.cancel();
}

void lockForTheSession(LockerWindow &w) {
    if (lockingUnderWay(w))
        return;
    if (!lockerOpen(w))
        return endWithTheSession(w);
    w.bringToFront();
    lock_Click(w);
}

void endWithTheSession(LockerWindow &w) {
    w.sessionHold.reset();
    QCoreApplication::exit(0);
}

void connectSessionManager(LockerWindow &w) {
    qApp->installEventFilter(new DieFilter(w));
    // Restarted with the session, the program would find the locker in whatever state the
    // guard left it, and nobody asked for it.
    QObject::connect(qGuiApp, &QGuiApplication::saveStateRequest, &w, [](QSessionManager &manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, &w,
                     [&w](QSessionManager &manager) {
                         manager.setRestartHint(QSessionManager::RestartNever);
                         QtSessionEnd request(manager);
                         answerSessionEnd(w, request);
                     });
}
