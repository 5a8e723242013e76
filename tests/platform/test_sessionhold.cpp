#include "platform/core/exitguard.h"
#include "platform/gui/sessioninhibitor.h"
#include "tests/support/testfolder.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The signals that a guard ignores, as /proc shows them, once its shell has set them so.
bool ignoresTheEndOfTheSession(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("SigIgn:\t");
    const qulonglong ignored = text.mid(at + 8, 16).toULongLong(nullptr, 16);
    const qulonglong wanted = 1ULL << (SIGHUP - 1) | 1ULL << (SIGINT - 1) | 1ULL << (SIGTERM - 1);
    return at >= 0 && (ignored & wanted) == wanted;
}

// The portal, the login manager and, if asked for, GNOME's session manager as far as the
// inhibitor speaks to them, on a connection of their own to the test's bus (which stands in for
// the system bus too). Remembers every call; the login manager's block is a pipe whose far end
// the test watches.
class FakeDesktop : public QDBusVirtualObject {
public:
    explicit FakeDesktop(bool gnome)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake")) {
        m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
        m_bus.registerService(QStringLiteral("org.freedesktop.login1"));
        m_bus.registerVirtualObject(QStringLiteral("/org/freedesktop"), this,
                                    QDBusConnection::SubPath);
        if (gnome) {
            m_bus.registerService(kGnome);
            m_bus.registerVirtualObject(QStringLiteral("/org/gnome"), this,
                                        QDBusConnection::SubPath);
        }
    }
    ~FakeDesktop() override {
        ::close(blockEnd);
        QDBusConnection::disconnectFromBus("fake");
    }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override {
        calls.append(message.member() + u' ' + message.path());
        if (message.interface() == kGnome && message.member() == QLatin1String("Inhibit")) {
            arguments = message.arguments();
            return reply(message, {42u});
        }
        if (message.member() == QLatin1String("RegisterClient"))
            return reply(message, {QVariant::fromValue(QDBusObjectPath(kClient))});
        if (message.member() == QLatin1String("Inhibit") &&
            message.interface().endsWith(QLatin1String("Manager")))
            return reply(message, {QVariant::fromValue(block())});
        if (message.member() == QLatin1String("Inhibit")) {
            arguments = message.arguments();
            inhibition = requestOf(message);
            return reply(message, {QVariant::fromValue(QDBusObjectPath(inhibition))});
        }
        if (message.member() == QLatin1String("CreateMonitor")) {
            reply(message, {QVariant::fromValue(QDBusObjectPath(requestOf(message)))});
            QDBusMessage response = QDBusMessage::createTargetedSignal(
                message.service(), requestOf(message),
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            response << 0u
                     << QVariantMap{{QStringLiteral("session_handle"),
                                     QVariant::fromValue(QDBusObjectPath(kSession))}};
            return m_bus.send(response);
        }
        return reply(message, {});
    }

    // GNOME's session manager tells its client of a logout, or that the session ends.
    void tellClient(const QString &what) {
        QDBusMessage signal = QDBusMessage::createSignal(
            kClient, QStringLiteral("org.gnome.SessionManager.ClientPrivate"), what);
        if (what != QLatin1String("Stop"))
            signal << 0u;
        m_bus.send(signal);
    }

    // The portal tells its monitors that the session is about to end.
    void queryEnd() {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("StateChanged"));
        signal << QVariant::fromValue(QDBusObjectPath(kSession))
               << QVariantMap{{QStringLiteral("session-state"), 2u}};
        m_bus.send(signal);
    }

    // A map of variants arrives still marshalled.
    static QVariantMap optionsOf(const QVariant &argument) {
        return qdbus_cast<QVariantMap>(argument.value<QDBusArgument>());
    }

    // Whether the block is still held: some copy of the pipe's write end is open.
    bool blockHeld() const {
        pollfd watch{blockEnd, POLLIN, 0};
        return ::poll(&watch, 1, 0) == 0;
    }

    static inline const QString kGnome = QStringLiteral("org.gnome.SessionManager");
    static inline const QString kClient = QStringLiteral("/org/gnome/SessionManager/Client1");
    static inline const QString kSession =
        QStringLiteral("/org/freedesktop/portal/desktop/session/1_1/tarvolen");
    QStringList calls;
    QVariantList arguments; // of the portal's or GNOME's Inhibit
    QString inhibition;     // the request that the portal's Inhibit made
    int blockEnd = -1;

private:
    bool reply(const QDBusMessage &message, const QVariantList &values) {
        return m_bus.send(message.createReply(values));
    }

    static QString requestOf(const QDBusMessage &message) {
        const QVariantMap options = optionsOf(message.arguments().last());
        QString sender = message.service().mid(1).replace(u'.', u'_');
        return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
            .arg(sender, options.value(QStringLiteral("handle_token")).toString());
    }

    QDBusUnixFileDescriptor block() {
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        blockEnd = ends[0];
        const QDBusUnixFileDescriptor writeEnd(ends[1]);
        ::close(ends[1]);
        return writeEnd;
    }

    QDBusConnection m_bus;
};

} // namespace

class TestSessionHold : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void theGuardRunsTheScriptUnlessReleased_data();
    void theGuardRunsTheScriptUnlessReleased();
    void theDesktopIsAskedToWaitWhileTheInhibitorLives_data();
    void theDesktopIsAskedToWaitWhileTheInhibitorLives();
};

// The login manager lives on the system bus: the test's bus stands in for it.
void TestSessionHold::initTestCase() {
    QVERIFY2(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"), "run under dbus-run-session");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", qgetenv("DBUS_SESSION_BUS_ADDRESS"));
}

void TestSessionHold::theGuardRunsTheScriptUnlessReleased_data() {
    QTest::addColumn<bool>("released");
    QTest::addColumn<bool>("signalled"); // the session's end signals reach the guard first
    QTest::addColumn<bool>("runs");
    QTest::newRow("released") << true << false << false;
    QTest::newRow("left") << false << false << true;
    QTest::newRow("signalled, then left") << false << true << true;
    QTest::newRow("signalled, then released") << true << true << false;
}

// The script terminates itself first: it goes on only where that signal is ignored.
void TestSessionHold::theGuardRunsTheScriptUnlessReleased() {
    QFETCH(bool, released);
    QFETCH(bool, signalled);
    QFETCH(bool, runs);
    TestFolder folder;
    folder.writeFile("lock.sh", "kill -TERM $$\necho ran > \"$(dirname \"$0\")/ran\"\n");
    auto guard = ExitGuard::start(folder.path("lock.sh"));
    QVERIFY(guard);
    const auto pid = static_cast<pid_t>(guard->processId());
    QVERIFY(QTest::qWaitFor([&] { return ignoresTheEndOfTheSession(pid); }));
    if (signalled) {
        for (int signal : {SIGHUP, SIGINT, SIGTERM})
            ::kill(pid, signal);
    }
    if (released)
        guard->release();
    guard.reset();
    if (!released)
        QVERIFY(::waitpid(pid, nullptr, 0) == pid);
    QCOMPARE(QFile::exists(folder.path("ran")), runs);
}

void TestSessionHold::theDesktopIsAskedToWaitWhileTheInhibitorLives_data() {
    QTest::addColumn<bool>("gnome"); // GNOME's session manager is on the bus
    QTest::newRow("portal") << false;
    QTest::newRow("GNOME") << true;
}

// GNOME's session manager, where it takes the inhibition, else the portal, is asked for logging
// out and switching users, the login manager for a block on shutdown, all for the reason given;
// all are let go with the inhibitor. A session about to end is told, and the desktop answered at
// once; GNOME, which Qt does not reach without XSMP, also tells when the session ends regardless.
void TestSessionHold::theDesktopIsAskedToWaitWhileTheInhibitorLives() {
    QFETCH(bool, gnome);
    FakeDesktop desktop(gnome);
    auto inhibitor = std::make_unique<SessionInhibitor>(QStringLiteral("The locker is open"));
    QSignalSpy endRequested(inhibitor.get(), &SessionInhibitor::endRequested);
    QSignalSpy ending(inhibitor.get(), &SessionInhibitor::ending);
    QVERIFY(QTest::qWaitFor([&] { return desktop.blockEnd >= 0 && desktop.calls.size() >= 3; }));
    if (gnome) {
        QCOMPARE(desktop.arguments, (QVariantList{"Tarvolen", 0u, "The locker is open", 3u}));
        QVERIFY(!desktop.calls.contains("Inhibit /org/freedesktop/portal/desktop"));
    } else {
        QCOMPARE(desktop.arguments.value(1).toUInt(), 3u);
        QCOMPARE(FakeDesktop::optionsOf(desktop.arguments.value(2)).value("reason"),
                 "The locker is open");
    }
    QVERIFY(desktop.blockHeld());

    // The client listens once its registration has been answered: told until heard.
    QVERIFY(QTest::qWaitFor([&] {
        gnome ? desktop.tellClient("QueryEndSession") : desktop.queryEnd();
        return !endRequested.isEmpty();
    }));
    QVERIFY(QTest::qWaitFor([&] {
        return desktop.calls.contains(gnome ? "EndSessionResponse " + FakeDesktop::kClient
                                            : "QueryEndResponse /org/freedesktop/portal/desktop");
    }));
    if (gnome) {
        desktop.tellClient("Stop");
        QVERIFY(ending.wait());
    }

    inhibitor.reset();
    QVERIFY(QTest::qWaitFor([&] { return !desktop.blockHeld(); }));
    const QStringList released =
        gnome ? QStringList{"Uninhibit /org/gnome/SessionManager",
                            "UnregisterClient /org/gnome/SessionManager"}
              : QStringList{"Close " + desktop.inhibition, "Close " + FakeDesktop::kSession};
    QVERIFY(QTest::qWaitFor([&] {
        return std::all_of(released.begin(), released.end(),
                           [&](const QString &call) { return desktop.calls.contains(call); });
    }));
}

QTEST_MAIN(TestSessionHold)
#include "test_sessionhold.moc"
