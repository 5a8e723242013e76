#pragma once

class LockerWindow;
class QSessionManager;

// From the start of the decrypt run until the program ends by its own decision, the locker is
// open and the session is held: the desktop is asked not to end it without the user, and should
// the program end any other way (a signal, the display gone), the encrypt script runs behind it.
void holdSession(LockerWindow &w);
// The program ends by its own decision: the locker was locked, left open by the user's choice, or
// the user was told why it ends. The session may end again, and nothing runs behind the program.
void releaseSession(LockerWindow &w);

// What the close decision needs of a desktop's request to end the session.
class SessionEndRequest {
public:
    virtual ~SessionEndRequest() = default;
    // Whether the user may be asked now.
    virtual bool allowsInteraction() = 0;
    // Keeps the session from ending, where the desktop allows it.
    virtual void cancel() = 0;
};

// The desktop asks to end the session. With the locker open, the close decision runs as for a
// close of the window: the exit menu comes up, "Lock Folder and Exit" locks before the session
// may end, and a choice that keeps the window open cancels the end. Where the user may not be
// asked, the end goes ahead and the program's end leaves the lock running behind it.
void answerSessionEnd(LockerWindow &w, SessionEndRequest &request);
void answerSessionEnd(LockerWindow &w, QSessionManager &manager);
