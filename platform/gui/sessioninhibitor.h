#pragma once

#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QVariantMap>

// Asks the desktop not to end the session while it lives, giving the reason: the desktop portal's
// inhibitor for logging out and switching users, and the login manager's block on shutdown and
// reboot. It also follows the portal's session monitor, which says when the session is about to
// end. A desktop without a portal or a system without a login manager goes without: nothing is
// reported. Every call goes out without waiting, so that a slow service never holds up the window.
class SessionInhibitor : public QObject {
    Q_OBJECT
public:
    explicit SessionInhibitor(const QString &reason, QObject *parent = nullptr);
    // Lets the session end again.
    ~SessionInhibitor() override;

signals:
    // The portal says that the session is about to end; it has been answered that this was heard.
    void endRequested();

private slots:
    void monitorStarted(uint response, const QVariantMap &results);
    void stateChanged(const QDBusObjectPath &session, const QVariantMap &state);

private:
    void inhibitLogout(const QString &reason);
    void inhibitShutdown(const QString &reason);
    void monitorSession();
    QString requestPath(const QString &token) const;

    QString m_inhibition;
    QString m_monitor;
    QDBusUnixFileDescriptor m_shutdownBlock;
};
