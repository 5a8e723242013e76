#pragma once

#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

class GnomeSession;

// Asks the desktop not to end the session while it lives, giving the reason: the GNOME session
// manager's inhibitor for logging out and switching users where it takes one, else the desktop
// portal's, and the login manager's block on shutdown and reboot. It also follows whichever of the
// two holds the session, which says when the session is about to end. A desktop without either or
// a system without a login manager goes without: nothing is reported. Every call goes out without
// waiting, so that a slow service never holds up the window.
class SessionInhibitor : public QObject {
    Q_OBJECT
public:
    explicit SessionInhibitor(const QString &reason, QObject *parent = nullptr);
    // Lets the session end again.
    ~SessionInhibitor() override;

    // The desktop's shell asks the user itself at a logout (GNOME Shell).
    bool shellAsks() const;

signals:
    // The desktop says that the session is about to end; it has been answered that this was heard.
    void endRequested();
    // The user confirmed the end in the shell's own dialog: the session waits for the locking
    // until the inhibitor ends.
    void lockRequested();
    // The session ends now, whatever anyone answers.
    void ending();

private slots:
    void monitorStarted(uint response, const QVariantMap &results);
    void stateChanged(const QDBusObjectPath &session, const QVariantMap &state);

private:
    void inhibitOnGnomeOrPortal(const QString &reason);
    void inhibitLogout(const QString &reason);
    void inhibitShutdown(const QString &reason);
    void monitorSession();
    QString requestPath(const QString &token) const;

    QPointer<GnomeSession> m_gnome;
    QString m_inhibition;
    QString m_monitor;
    QDBusUnixFileDescriptor m_shutdownBlock;
};
