#include "locker/engine/lock.h"
#include "tests/locker/lockerfixture.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

const QStringList kExitMenu = {"Lock Folder and Exit", "Exit without Locking", "-", "Cancel"};

// Everything a person can see of the window, to prove that nothing changed.
QStringList snapshot(const LockerWindow &w) {
    QStringList seen;
    for (QWidget *child : w.findChildren<QWidget *>())
        seen << QString::number(child->isVisible());
    seen << w.Label1->text() << w.Label3->text() << w.Ok->text() << w.Cancel->text()
         << w.D_Label->text() << w.E_Label->text() << QString::number(int(w.Label1->alignment()));
    return seen;
}

} // namespace

class TestExit : public QObject {
    Q_OBJECT
private slots:
    void closesAtThePasswordPrompt();
    void cancelInTheExitMenuKeepsEverything();
    void exitProgramAndCloseBothOfferTheMenu();
    void lockFromTheMenuEndsAfterFourTicks();
    void closeDuringLockingOffersTheMenuAgain();
    void exitWithoutLockingFromTheMenuCloses();
    void quitFlagClosesAfterTheMenuWhateverIsChosen();
    void aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision_data();
    void aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision();
};

void TestExit::closesAtThePasswordPrompt() {
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("pw"));
    f.start();
    QVERIFY(f.window.close());
    QVERIFY(f.window.isUnloaded());
    QVERIFY(f.dialogs.menus.isEmpty());
}

void TestExit::cancelInTheExitMenuKeepsEverything() {
    LockerFixture f;
    f.openLocker();
    const QStringList before = snapshot(f.window);
    f.dialogs.queueMenuChoice("Cancel");
    QVERIFY(!f.window.close());
    QCOMPARE(f.dialogs.menus, QList<QStringList>{kExitMenu});
    QCOMPARE(snapshot(f.window), before);
    // Dismissed without a choice: the same.
    QVERIFY(!f.window.close());
    QCOMPARE(snapshot(f.window), before);
    QVERIFY(!f.window.isUnloaded());
}

void TestExit::exitProgramAndCloseBothOfferTheMenu() {
    LockerFixture f;
    f.openLocker();
    f.window.ExitProgram->click();
    QCOMPARE(f.dialogs.menus.size(), 1);
    QVERIFY(!f.window.isUnloaded());
}

void TestExit::lockFromTheMenuEndsAfterFourTicks() {
    LockerFixture f;
    f.shipScript("ezentil.kqx", "encrypted");
    f.openLocker();
    f.dialogs.queueMenuChoice("Lock Folder and Exit");
    QVERIFY(!f.window.close());
    QCOMPARE(f.window.Label1->text(), "Locking in Progress...");
    QVERIFY(f.window.E_Timer->isActive());
    // The real timer drives it to the end.
    QTRY_VERIFY_WITH_TIMEOUT(f.window.isUnloaded(), 10000);
    QCOMPARE(f.window.E_Label->text(), "4");
}

void TestExit::closeDuringLockingOffersTheMenuAgain() {
    LockerFixture f;
    f.shipScript("ezentil.kqx", "encrypted");
    f.openLocker();
    lock_Click(f.window);
    E_Timer_Timer(f.window);
    E_Timer_Timer(f.window);
    // Choosing to lock again starts the lock command again without resetting the counter.
    f.dialogs.queueMenuChoice("Lock Folder and Exit");
    QVERIFY(!f.window.close());
    QCOMPARE(f.dialogs.menus.size(), 1);
    QCOMPARE(f.window.E_Label->text(), "2");
    QCOMPARE(f.window.Label1->text(), "Locking in Progress...");
    QVERIFY(f.tickToTheEnd(E_Timer_Timer, *f.window.E_Label));
    QVERIFY(f.window.isUnloaded());
}

void TestExit::exitWithoutLockingFromTheMenuCloses() {
    LockerFixture f;
    f.openLocker();
    f.dialogs.queueMenuChoice("Exit without Locking");
    f.dialogs.queueAnswer(Dialogs::Answer::Yes);
    QVERIFY(f.window.close());
    QVERIFY(f.window.isUnloaded());
    QCOMPARE(f.folder.setting("Files"), "0");
}

void TestExit::quitFlagClosesAfterTheMenuWhateverIsChosen() {
    LockerFixture f;
    f.openLocker();
    f.window.QuitFlag = 1;
    f.dialogs.queueMenuChoice("Cancel");
    f.window.UnloadAll();
    QCOMPARE(f.dialogs.menus.size(), 1);
    QVERIFY(f.window.isUnloaded());
}

void TestExit::aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision_data() {
    QTest::addColumn<QString>("choice");
    // How many boxes or menus open before the one during which the desktop asks to close.
    QTest::addColumn<int>("openBefore");
    QTest::newRow("in the exit menu") << "Cancel" << 0;
    QTest::newRow("in the question of Exit without Locking") << "Exit without Locking" << 1;
}

// The title-bar button, Alt+F4 or the taskbar close the window through the desktop, which
// delivers the request to the platform window, while the first close still waits for an answer.
void TestExit::aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision() {
    QFETCH(QString, choice);
    QFETCH(int, openBefore);
    LockerFixture f;
    f.openLocker();
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    std::function<void()> closeFromDesktop = [&f] {
        QCloseEvent request;
        QCoreApplication::sendEvent(f.window.windowHandle(), &request);
    };
    for (int i = 0; i < openBefore; ++i)
        closeFromDesktop = [&f, inner = closeFromDesktop] { f.dialogs.whileNextIsOpen(inner); };
    f.dialogs.whileNextIsOpen(closeFromDesktop);
    f.dialogs.queueMenuChoice(choice);
    f.dialogs.queueAnswer(Dialogs::Answer::No);
    f.window.ExitProgram->click();
    QCOMPARE(f.dialogs.shown.size(), openBefore);
    QVERIFY(f.window.isVisible());
    QVERIFY(!f.window.isUnloaded());
    QCOMPARE(lastClosed.count(), 0);
}

QTEST_MAIN(TestExit)
#include "test_exit.moc"
