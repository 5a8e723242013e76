#pragma once

class LockerWindow;

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
// asked, the end goes ahead and the program's end leaves the lock running behind it. A locker that
// is being opened is asked about once it is open. The window comes to the front first, so that the
// user sees which program asks. Where the desktop's shell asks the user itself, nothing is asked
// here.
void answerSessionEnd(LockerWindow &w, SessionEndRequest &request);

// The user let the session end in the desktop's own dialog: an open locker is locked as by "Lock
// Folder and Exit", whose end ends the program and lets the session go on; a locking under way
// goes on. A locker not open yet ends with the session.
void lockForTheSession(LockerWindow &w);

// The session ends without a question (an XSMP session manager's Die, GNOME's EndSession or
// Stop): the program ends at once, whatever it is doing, and leaves the hold unreleased, so that
// its guard runs the lock behind it. The session manager is never kept waiting for a lock of
// unknown length, and the guard outlives the signals with which the session ends its processes.
void endWithTheSession(LockerWindow &w);

// Follows Qt's session manager (XSMP, on X11): a save asks the close decision where it may ask
// the user and nothing otherwise, a Die ends the program, and the program is never restarted
// with the session.
void connectSessionManager(LockerWindow &w);
