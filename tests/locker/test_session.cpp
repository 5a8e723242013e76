#include "locker/engine/lock.h"
#include "locker/engine/sessionend.h"
#include "platform/gui/sessionhold.h"
#include "tests/locker/lockerfixture.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

using HoldState = FakeShell::HoldState;

class FakeSessionEnd : public SessionEndRequest {
public:
    explicit FakeSessionEnd(bool interaction) : m_interaction(interaction) {}
    bool allowsInteraction() override { return m_interaction; }
    void cancel() override { cancelled = true; }

    bool cancelled = false;

private:
    bool m_interaction;
};

} // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void theSessionIsHeldFromTheDecryptRunOn();
    void anEndOfTheSessionRunsTheCloseDecision_data();
    void anEndOfTheSessionRunsTheCloseDecision();
};

void TestSession::theSessionIsHeldFromTheDecryptRunOn() {
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("secret"));
    f.shipScript("dzentil.kqx", "decrypted");
    f.start();
    f.window.Password->setText("secret");
    f.window.Ok->click();
    QVERIFY(f.shell.holds.isEmpty());
    D_Timer_Timer(f.window);
    QCOMPARE(f.shell.holds.size(), 1);
    QCOMPARE(f.shell.holds[0].lockScript, f.folder.path("ezentil.kqx"));
    QCOMPARE(f.shell.holds[0].reason, "The open locker is locked first");
    QCOMPARE(f.shell.holds[0].state, HoldState::Held);
}

void TestSession::anEndOfTheSessionRunsTheCloseDecision_data() {
    QTest::addColumn<bool>("portal"); // asked by the desktop portal, else by the session manager
    QTest::addColumn<bool>("interaction");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("ends"); // the program ends and lets the session end
    QTest::newRow("lock") << false << true << "Lock Folder and Exit" << true;
    QTest::newRow("leave open") << false << true << "Exit without Locking" << true;
    QTest::newRow("cancel") << false << true << "Cancel" << false;
    QTest::newRow("no one to ask") << false << false << "" << false;
    QTest::newRow("portal: lock") << true << true << "Lock Folder and Exit" << true;
    QTest::newRow("portal: cancel") << true << true << "Cancel" << false;
    // Asked while the decrypt run goes on.
    QTest::newRow("unlocking: lock") << false << true << "Lock Folder and Exit" << true;
    QTest::newRow("unlocking, portal: cancel") << true << true << "Cancel" << false;
    QTest::newRow("GNOME Shell's Log Out") << true << false << "Log Out" << true;
}

// A choice that ends the program releases the hold and lets the session end; one that keeps the
// locker open keeps the hold and cancels the end. Where nobody may be asked, the session ends
// with the hold in place, whose guard then locks.
void TestSession::anEndOfTheSessionRunsTheCloseDecision() {
    QFETCH(bool, portal);
    QFETCH(bool, interaction);
    QFETCH(QString, choice);
    QFETCH(bool, ends);
    LockerFixture f;
    f.shipScript("ezentil.kqx", "encrypted");
    f.openLocker(!QByteArray(QTest::currentDataTag()).startsWith("unlocking"));
    f.folder.writeFile("Locker/a.txt", "a");
    f.dialogs.queueMenuChoice(choice);
    f.dialogs.queueAnswer(Dialogs::Answer::Yes);
    FakeSessionEnd request(interaction);
    if (portal) {
        choice == "Log Out" ? emit f.window.sessionHold->lockRequested()
                            : emit f.window.sessionHold->endRequested();
        QVERIFY(
            QTest::qWaitFor([&] { return f.window.isUnloaded() || !f.dialogs.menus.isEmpty(); }));
        QVERIFY(QTest::qWaitFor(
            [&] { return f.window.isUnloaded() || !f.window.E_Timer->isActive(); }, 20000));
    } else {
        answerSessionEnd(f.window, request);
    }
    QCOMPARE(f.dialogs.menus.size(), interaction ? 1 : 0);
    QCOMPARE(f.window.isUnloaded(), ends);
    // The portal cannot be told to cancel: the hold that stays in place keeps the session.
    if (!portal)
        QCOMPARE(request.cancelled, !ends && interaction);
    QCOMPARE(f.shell.holds[0].state, ends ? HoldState::Released : HoldState::Held);
    if (choice == "Lock Folder and Exit" || choice == "Log Out") {
        QCOMPARE(f.folder.readFile("encrypted"), "ran\n");
        QCOMPARE(f.folder.setting("Files"), "1");
    }
}

QTEST_MAIN(TestSession)
#include "test_session.moc"
