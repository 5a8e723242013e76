#include "platform/gui/sessioninhibitor.h"

#include "platform/gui/dbusreply.h"
#include "platform/gui/gnomesession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
// The portal's inhibitor flags: logging out and switching users.
constexpr uint kLogoutAndUserSwitch = 1 | 2;
// The portal monitor's session states.
constexpr uint kQueryEnd = 2;

QDBusMessage portalCall(const QString &method, const QVariantList &arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kPortalPath, kInhibit, method);
    call.setArguments(arguments);
    return call;
}

void closeObject(const QString &path, const QString &interface) {
    if (path.isEmpty())
        return;
    QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(kPortal, path, interface, QStringLiteral("Close")));
}

// Names this process's portal requests apart from those of other processes and of each other.
QString nextToken() {
    static int count = 0;
    return QStringLiteral("tarvolen%1").arg(++count);
}

} // namespace

SessionInhibitor::SessionInhibitor(const QString &reason, QObject *parent) : QObject(parent) {
    inhibitOnGnomeOrPortal(reason);
    inhibitShutdown(reason);
}

SessionInhibitor::~SessionInhibitor() {
    closeObject(m_inhibition, kRequest);
    closeObject(m_monitor, QStringLiteral("org.freedesktop.portal.Session"));
    // The login manager lifts its block once the last copy of the descriptor is closed: this one.
}

bool SessionInhibitor::shellAsks() const {
    return m_gnome && m_gnome->shellAsks();
}

// GNOME's portal backend forwards an inhibition to the GNOME session manager without the
// application id that this requires, and the portal reports success all the same: where the
// session manager takes the inhibition itself, the portal is not asked.
void SessionInhibitor::inhibitOnGnomeOrPortal(const QString &reason) {
    auto *gnome = new GnomeSession(reason, this);
    m_gnome = gnome;
    connect(gnome, &GnomeSession::endRequested, this, &SessionInhibitor::endRequested);
    connect(gnome, &GnomeSession::lockRequested, this, &SessionInhibitor::lockRequested);
    connect(gnome, &GnomeSession::ending, this, &SessionInhibitor::ending);
    connect(gnome, &GnomeSession::refused, this, [this, gnome, reason] {
        m_gnome = nullptr;
        gnome->deleteLater();
        inhibitLogout(reason);
        monitorSession();
    });
}

// A portal request lives at a path made of the caller's bus name and the token it chose, so the
// inhibition can be lifted, and a request's answer listened for, before the call has returned.
QString SessionInhibitor::requestPath(const QString &token) const {
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("%1/request/%2/%3").arg(kPortalPath, sender, token);
}

void SessionInhibitor::inhibitLogout(const QString &reason) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString token = nextToken();
    m_inhibition = requestPath(token);
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("reason"), reason}};
    bus.asyncCall(
        portalCall(QStringLiteral("Inhibit"), {QString(), kLogoutAndUserSwitch, options}));
}

// Blocks rather than delays: a delay lasts a few seconds at most, too short to lock a large
// locker, and the choice to go ahead belongs to the user, whom the desktop asks.
void SessionInhibitor::inhibitShutdown(const QString &reason) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call.setArguments(
        {QStringLiteral("shutdown"), QStringLiteral("Tarvolen"), reason, QStringLiteral("block")});
    onReply(this, bus.asyncCall(call), [this](const QDBusPendingCall &pending) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = pending;
        if (reply.isValid())
            m_shutdownBlock = reply.value();
    });
}

void SessionInhibitor::monitorSession() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString token = nextToken();
    bus.connect(kPortal, requestPath(token), kRequest, QStringLiteral("Response"), this,
                SLOT(monitorStarted(uint, QVariantMap)));
    bus.connect(kPortal, kPortalPath, kInhibit, QStringLiteral("StateChanged"), this,
                SLOT(stateChanged(QDBusObjectPath, QVariantMap)));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("session_handle_token"), token}};
    bus.asyncCall(portalCall(QStringLiteral("CreateMonitor"), {QString(), options}));
}

void SessionInhibitor::monitorStarted(uint response, const QVariantMap &results) {
    if (response != 0)
        return;
    // A portal may send the handle as an object path or as its text.
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    m_monitor = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                     : handle.toString();
}

// The portal wants its answer within a second, before the user has been asked anything: that
// answer only says that the question was heard. The inhibition keeps the session from ending.
void SessionInhibitor::stateChanged(const QDBusObjectPath &session, const QVariantMap &state) {
    if (m_monitor.isEmpty() || session.path() != m_monitor ||
        state.value(QStringLiteral("session-state")).toUInt() != kQueryEnd)
        return;
    QDBusConnection::sessionBus().asyncCall(
        portalCall(QStringLiteral("QueryEndResponse"), {QVariant::fromValue(session)}));
    emit endRequested();
}
