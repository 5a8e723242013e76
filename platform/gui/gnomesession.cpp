#include "platform/gui/gnomesession.h"

#include "platform/core/menuentry.h"
#include "platform/core/programfolder.h"
#include "platform/gui/dbusreply.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QGuiApplication>

namespace {

const QString kService = QStringLiteral("org.gnome.SessionManager");
const QString kClient = QStringLiteral("org.gnome.SessionManager.ClientPrivate");
// The session manager's inhibitor flags: logging out and switching users.
constexpr uint kLogoutAndUserSwitch = 1 | 2;

QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                  const QVariantList &arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    // A bus without a GNOME session must not have one started for the question.
    message.setAutoStartService(false);
    return message;
}

QDBusMessage managerCall(const QString &method, const QVariantList &arguments) {
    return call(QStringLiteral("/org/gnome/SessionManager"), kService, method, arguments);
}

// The name under which GNOME Shell looks up the program's desktop entry, to list it with its
// reason in the logout dialog.
QString applicationId() {
    const QString id = QGuiApplication::desktopFileName();
    return id.isEmpty() ? QStringLiteral("Tarvolen") : id;
}

} // namespace

// The window is not named: GNOME tells the inhibitor by its cookie, and a Wayland window has no
// number to give.
GnomeSession::GnomeSession(const QString &reason, QObject *parent) : QObject(parent) {
    const QVariantList arguments{applicationId(), 0u, reason, kLogoutAndUserSwitch};
    onReply(this, QDBusConnection::sessionBus().asyncCall(managerCall("Inhibit", arguments)),
            [this](const QDBusPendingCall &pending) {
                const QDBusPendingReply<uint> cookie = pending;
                if (cookie.isValid() && cookie.value() != 0)
                    inhibited(cookie.value());
                else
                    emit refused();
            });
}

// Unregistered first, so that the session, free to end once the inhibitor has gone, waits for
// no answer from this client. A logout that waits for the locking hears that it is done.
GnomeSession::~GnomeSession() {
    if (m_answerOwed) {
        // The session, and the display with it, may be gone before the program could tidy up.
        removeHiddenMenuEntry(runningProgramFolder());
        answer();
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_client.isEmpty())
        bus.asyncCall(
            managerCall("UnregisterClient", {QVariant::fromValue(QDBusObjectPath(m_client))}));
    if (m_cookie != 0)
        bus.asyncCall(managerCall("Uninhibit", {m_cookie}));
}

// Qt has an XSMP session id only where a session manager reached it through XSMP: that one asks
// through Qt already, unless GNOME Shell asks instead, whose answer only this client hears.
void GnomeSession::inhibited(uint cookie) {
    m_cookie = cookie;
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    onReply(this, bus->asyncCall(QStringLiteral("NameHasOwner"), QStringLiteral("org.gnome.Shell")),
            [this](const QDBusPendingCall &pending) {
                const QDBusPendingReply<bool> shell = pending;
                m_shellAsks = shell.isValid() && shell.value();
                if (m_shellAsks || qGuiApp->sessionId().isEmpty())
                    registerClient();
            });
}

void GnomeSession::registerClient() {
    const QVariantList arguments{applicationId(), QString()};
    onReply(this, QDBusConnection::sessionBus().asyncCall(managerCall("RegisterClient", arguments)),
            [this](const QDBusPendingCall &pending) {
                const QDBusPendingReply<QDBusObjectPath> client = pending;
                if (!client.isValid())
                    return;
                m_client = client.value().path();
                QDBusConnection bus = QDBusConnection::sessionBus();
                bus.connect(kService, m_client, kClient, QStringLiteral("QueryEndSession"), this,
                            SLOT(queryEndSession(uint)));
                bus.connect(kService, m_client, kClient, QStringLiteral("EndSession"), this,
                            SLOT(endSession(uint)));
                bus.connect(kService, m_client, kClient, QStringLiteral("Stop"), this,
                            SLOT(stop()));
            });
}

// The session manager wants its answer within a second, before the user has been asked
// anything: that answer only says that the question was heard. The inhibitor keeps the session,
// and GNOME Shell, where it runs, asks the user in its own dialog, which would take the keyboard
// from any question of ours. A Cancel there is the user's answer and needs nothing of us.
void GnomeSession::queryEndSession(uint) {
    answer();
    if (!m_shellAsks)
        emit endRequested();
}

// Past the query nothing stops the session from ending. After GNOME Shell's dialog the session
// waits for this client's answer: the locker is locked first.
void GnomeSession::endSession(uint) {
    if (m_shellAsks) {
        m_answerOwed = true;
        emit lockRequested();
        return;
    }
    answer();
    emit ending();
}

void GnomeSession::stop() {
    emit ending();
}

void GnomeSession::answer() {
    QDBusConnection::sessionBus().asyncCall(
        call(m_client, kClient, QStringLiteral("EndSessionResponse"), {true, QString()}));
}
