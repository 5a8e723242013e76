#include "locker/engine/sessionend.h"

#include "locker/engine/cipherscripts.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/sessionhold.h"
#include "platform/gui/shell.h"

#include <QCoreApplication>
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

// The desktop portal has nothing to cancel with: the hold that stays in place keeps the session.
class PortalSessionEnd : public SessionEndRequest {
public:
    bool allowsInteraction() override { return true; }
    void cancel() override {}
};

// "Lock Folder and Exit" goes on over the lock sequence's ticks and ends the program at the last
// one, after telling of a failure if there was one.
void waitForLocking(LockerWindow &w) {
    while (w.E_Timer->isActive() && !w.isUnloaded())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

void holdSession(LockerWindow &w) {
    if (w.sessionHold)
        return;
    w.sessionHold =
        w.shell().holdSession(w.path(kEncryptScript.shipped), QStringLiteral("The locker is open"));
    // Queued: the request arrives in the middle of the desktop's call, and the answer asks the
    // user.
    QObject::connect(
        w.sessionHold.get(), &SessionHold::endRequested, &w,
        [&w] {
            PortalSessionEnd request;
            answerSessionEnd(w, request);
        },
        Qt::QueuedConnection);
}

void releaseSession(LockerWindow &w) {
    if (!w.sessionHold)
        return;
    w.sessionHold->release();
    w.sessionHold.reset();
}

void answerSessionEnd(LockerWindow &w, SessionEndRequest &request) {
    if (!w.sessionHold || !request.allowsInteraction())
        return;
    w.close();
    waitForLocking(w);
    if (!w.isUnloaded())
        request.cancel();
}

void answerSessionEnd(LockerWindow &w, QSessionManager &manager) {
    QtSessionEnd request(manager);
    answerSessionEnd(w, request);
}
