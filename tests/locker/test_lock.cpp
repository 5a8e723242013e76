#include "locker/engine/lock.h"
#include "tests/locker/lockerfixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

void openWithEncryptScript(LockerFixture &f) {
    f.shipScript("ezentil.kqx", "encrypted");
    f.openLocker();
}

void expectEncryptFailure(LockerFixture &f) {
    QCOMPARE(f.dialogs.shown.size(), 2);
    QCOMPARE(f.dialogs.shown[0].text,
             "Please make sure you have ezentil.kqx\r\nfile in your Tarvolen directory.");
    QCOMPARE(f.dialogs.shown[0].title, "Troubleshooting");
    QCOMPARE(f.dialogs.shown[1].text, "Quiting without encryption, see help");
    QCOMPARE(f.dialogs.shown[1].title, "Troubleshooting");
    QCOMPARE(f.folder.setting("Files"), "0");
    QCOMPARE(f.window.QuitFlag, 1);
    QCOMPARE(f.window.E_Label->text(), "4");
    QVERIFY(!f.window.E_Timer->isActive());
    QVERIFY(f.window.isUnloaded());
}

} // namespace

class TestLock : public QObject {
    Q_OBJECT
private slots:
    void lockerWithFilesIsRecordedAsLocked();
    void emptyLockerIsRemovedAndRecordedAsEmpty();
    void timelineTickByTick();
    void missingScriptEndsTheProgram();
    void scriptGoneBeforeItsTimeEndsTheProgram();
    void ticksDuringTheFailureMessagesRunNoStep();
    void exitWithoutLockingAsksFirst();
};

void TestLock::lockerWithFilesIsRecordedAsLocked() {
    LockerFixture f;
    openWithEncryptScript(f);
    f.folder.writeFile("Locker/a.txt", "a");
    lock_Click(f.window);
    QCOMPARE(f.folder.setting("Files"), "1");
    QCOMPARE(f.folder.readFile("Locker/a.txt"), "a");
    QCOMPARE(f.window.Label1->text(), "Locking in Progress...");
    QCOMPARE(f.window.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    for (QWidget *hidden : {(QWidget *)f.window.OpenLocker, (QWidget *)f.window.ExitProgram,
                            (QWidget *)f.window.ChangePassword, (QWidget *)f.window.Uninstall,
                            (QWidget *)f.window.MasterCheck, (QWidget *)f.window.MasterLabel,
                            (QWidget *)f.window.Label2})
        QVERIFY(!hidden->isVisible());
    QCOMPARE(f.folder.readFile("e.bat"), f.folder.readFile("ezentil.kqx"));
    QVERIFY(f.window.E_Timer->isActive());
    QCOMPARE(f.window.E_Label->text(), "0");
}

void TestLock::emptyLockerIsRemovedAndRecordedAsEmpty() {
    LockerFixture f;
    openWithEncryptScript(f);
    QVERIFY(QDir(f.folder.path("Locker")).exists());
    lock_Click(f.window);
    QVERIFY(!QDir(f.folder.path("Locker")).exists());
    QCOMPARE(f.folder.setting("Files"), "0");
    QVERIFY(f.window.E_Timer->isActive());
}

void TestLock::timelineTickByTick() {
    LockerFixture f;
    openWithEncryptScript(f);
    f.folder.writeFile("Locker/a.txt", "a");
    lock_Click(f.window);
    f.folder.setSetting("Rmove", "in");

    E_Timer_Timer(f.window);
    QCOMPARE(f.window.Label1->text(), "Files Locked Sucessfully");
    QVERIFY(f.window.Label7->text().toLongLong() > 0);
    QCOMPARE(f.folder.setting("Rmove"), "out");
    QVERIFY(f.window.E_Timer->isActive());
    QTRY_VERIFY(QFile::exists(f.folder.path("encrypted")));

    E_Timer_Timer(f.window);
    QVERIFY(QFile::exists(f.folder.path("e.bat")));
    E_Timer_Timer(f.window);
    QVERIFY(!QFile::exists(f.folder.path("e.bat")));
    QVERIFY(!f.window.isUnloaded());

    E_Timer_Timer(f.window);
    QVERIFY(!f.window.E_Timer->isActive());
    QVERIFY(f.window.isUnloaded());
    QVERIFY(f.dialogs.shown.isEmpty());
    QVERIFY(f.dialogs.menus.isEmpty());
}

void TestLock::missingScriptEndsTheProgram() {
    LockerFixture f;
    f.openLocker();
    f.folder.writeFile("Locker/a.txt", "a");
    lock_Click(f.window);
    E_Timer_Timer(f.window);
    expectEncryptFailure(f);
}

void TestLock::scriptGoneBeforeItsTimeEndsTheProgram() {
    LockerFixture f;
    openWithEncryptScript(f);
    lock_Click(f.window);
    E_Timer_Timer(f.window);
    E_Timer_Timer(f.window);
    QFile::remove(f.folder.path("e.bat"));
    E_Timer_Timer(f.window);
    expectEncryptFailure(f);
}

void TestLock::ticksDuringTheFailureMessagesRunNoStep() {
    LockerFixture f;
    f.openLocker();
    lock_Click(f.window);
    bool timerRanWhileShown = true;
    f.dialogs.whileNextIsOpen([&] { timerRanWhileShown = f.window.E_Timer->isActive(); });
    E_Timer_Timer(f.window);
    QVERIFY(!timerRanWhileShown);
}

void TestLock::exitWithoutLockingAsksFirst() {
    LockerFixture f;
    f.openLocker();
    f.folder.setSetting("Files", "1");
    QString filesWhileAsked;
    f.dialogs.whileNextIsOpen([&] { filesWhileAsked = f.folder.setting("Files"); });
    f.dialogs.queueAnswer(Dialogs::Answer::No);
    nolock_Click(f.window);
    QCOMPARE(filesWhileAsked, "0");
    QCOMPARE(f.dialogs.shown.last().text, "Your files will not be encrypted.\r\nAre you sure?");
    QCOMPARE(f.dialogs.shown.last().title, "Please note");
    QCOMPARE(f.dialogs.shown.last().buttons, Dialogs::Buttons::YesNo);
    QVERIFY(!f.window.isUnloaded());
    QCOMPARE(f.window.QuitFlag, 0);
    QCOMPARE(f.folder.setting("Files"), "0");

    f.dialogs.queueAnswer(Dialogs::Answer::Yes);
    nolock_Click(f.window);
    QCOMPARE(f.window.QuitFlag, 1);
    QVERIFY(f.window.isUnloaded());
}

QTEST_MAIN(TestLock)
#include "test_lock.moc"
