#pragma once

#include <QDBusObjectPath>
#include <QObject>

// The GNOME session manager on the session bus. It is asked directly not to let the session end
// or the user switch while this object lives, under the program's application id and the reason
// given: its own inhibitor, which the desktop portal's would only forward without the application
// id that GNOME requires. Where no session manager reaches the program through Qt (on Wayland, or
// without SESSION_MANAGER), or where GNOME Shell asks the user, the program registers as its
// client as well, so that a logout is told to it. Every call goes out without waiting.
class GnomeSession : public QObject {
    Q_OBJECT
public:
    GnomeSession(const QString &reason, QObject *parent);
    // Lets the session end again.
    ~GnomeSession() override;

    // GNOME Shell, not this program, asks the user at a logout.
    bool shellAsks() const { return m_shellAsks; }

signals:
    // No GNOME session manager holds the session for us: there is none on the bus, or it
    // refused.
    void refused();
    // A logout asks whether the session may end; it has been answered that this was heard. The
    // inhibitor keeps the session from ending. Not where GNOME Shell asks the user.
    void endRequested();
    // The user confirmed the logout in GNOME Shell's dialog, which lists the inhibitor with its
    // reason, or the logout was forced there. The session waits for this client's answer, which
    // goes out when this object ends.
    void lockRequested();
    // The session ends now, whatever anyone answers.
    void ending();

private slots:
    void queryEndSession(uint flags);
    void endSession(uint flags);
    void stop();

private:
    void inhibited(uint cookie);
    void registerClient();
    void answer();

    uint m_cookie = 0;
    QString m_client;
    bool m_shellAsks = false;
    bool m_answerOwed = false;
};
