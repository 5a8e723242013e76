#pragma once

#include <QObject>

#include <memory>

class ExitGuard;
class SessionInhibitor;

// Keeps the locker from being left open by the end of the session while it lives: the desktop is
// asked not to end the session without the user, and should this program end before the hold is
// released, a guard process runs the lock script. Destroying the hold unreleased runs it too.
class SessionHold : public QObject {
    Q_OBJECT
public:
    // Ends the hold as the program's own decision: nothing is run.
    virtual void release() = 0;
    // The desktop's shell asks the user itself whether the session may end: its answer is the
    // decision, and a logout locks.
    virtual bool desktopAsks() const { return false; }

signals:
    // The desktop asks whether the session may end.
    void endRequested();
    // The user let the session end in the desktop's own dialog: the locker is to be locked before
    // it ends.
    void lockRequested();
    // The session ends now, whatever anyone answers.
    void ending();
};

class DesktopSessionHold : public SessionHold {
    Q_OBJECT
public:
    DesktopSessionHold(const QString &lockScript, const QString &reason);
    ~DesktopSessionHold() override;

    void release() override;
    bool desktopAsks() const override;

private:
    std::unique_ptr<ExitGuard> m_guard;
    std::unique_ptr<SessionInhibitor> m_inhibitor;
};
