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

// The portal and the login manager as far as the inhibitor speaks to them, on a connection of
// their own to the test's bus (which stands in for the system bus too). Remembers every call;
// the login manager's block is a pipe whose far end the test watches.
class FakeDesktop : public QDBusVirtualObject {
public:
    FakeDesktop() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake")) {
        m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
        m_bus.registerService(QStringLiteral("org.freedesktop.login1"));
        m_bus.registerVirtualObject(QStringLiteral("/org/freedesktop"), this,
                                    QDBusConnection::SubPath);
    }
    ~FakeDesktop() override {
        ::close(blockEnd);
        QDBusConnection::disconnectFromBus("fake");
    }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override {
        calls.append(message.member() + u' ' + message.path());
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

    static inline const QString kSession =
        QStringLiteral("/org/freedesktop/portal/desktop/session/1_1/tarvolen");
    QStringList calls;
    QVariantList arguments; // of the portal's Inhibit
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

// The portal is asked for logging out and switching users, the login manager for a block on
// shutdown, both for the reason given; both are let go with the inhibitor. A session about to end
// is told, and the portal answered at once.
void TestSessionHold::theDesktopIsAskedToWaitWhileTheInhibitorLives() {
    FakeDesktop desktop;
    auto inhibitor = std::make_unique<SessionInhibitor>(QStringLiteral("The locker is open"));
    QSignalSpy endRequested(inhibitor.get(), &SessionInhibitor::endRequested);
    QVERIFY(QTest::qWaitFor([&] { return desktop.blockEnd >= 0 && desktop.calls.size() >= 3; }));
    QCOMPARE(desktop.arguments.value(1).toUInt(), 3u);
    QCOMPARE(FakeDesktop::optionsOf(desktop.arguments.value(2)).value("reason"),
             "The locker is open");
    QVERIFY(desktop.blockHeld());

    desktop.queryEnd();
    QVERIFY(endRequested.wait());
    QVERIFY(QTest::qWaitFor([&] {
        return desktop.calls.contains("QueryEndResponse /org/freedesktop/portal/desktop");
    }));

    inhibitor.reset();
    QVERIFY(QTest::qWaitFor([&] { return !desktop.blockHeld(); }));
    QVERIFY(QTest::qWaitFor([&] {
        return desktop.calls.contains("Close " + desktop.inhibition) &&
               desktop.calls.contains("Close " + FakeDesktop::kSession);
    }));
}

QTEST_GUILESS_MAIN(TestSessionHold)
#include "test_sessionhold.moc"
