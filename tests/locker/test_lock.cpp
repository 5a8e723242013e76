#include "locker/engine/lock.h"
#include "locker/window/progress.h"
#include "platform/core/script.h"
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
    void lockerWithFilesIsRecordedReadableUntilTheRunHasEnded();
    void emptyLockerIsRemovedAndRecordedAsEmpty();
    void timelineTickByTick();
    void missingScriptEndsTheProgram();
    void shortCopyOfTheScriptIsNeverRun_data();
    void shortCopyOfTheScriptIsNeverRun();
    void ticksDuringTheFailureMessagesRunNoStep();
    void exitWithoutLockingAsksFirst();
    void emptyLockerBehindALinkIsKeptAndRecordedAsEmpty();
    void theRunsEndDecidesHowLockingEnds_data();
    void theRunsEndDecidesHowLockingEnds();
    void aLongRunIsWaitedForWithItsProgress();
};

// Should the program and the run end here, nothing is encrypted yet;
// theRunsEndDecidesHowLockingEnds shows what the end of the run records.
void TestLock::lockerWithFilesIsRecordedReadableUntilTheRunHasEnded() {
    LockerFixture f;
    openWithEncryptScript(f);
    f.folder.writeFile("Locker/a.txt", "a");
    lock_Click(f.window);
    QCOMPARE(f.folder.setting("Files"), "0");
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
    // Nothing is claimed before the run has ended.
    QCOMPARE(f.window.Label1->text(), "Locking in Progress...");
    QVERIFY(f.window.Label7->text().toLongLong() > 0);
    QCOMPARE(f.folder.setting("Rmove"), "out");
    QVERIFY(f.window.E_Timer->isActive());
    QTRY_VERIFY(QFile::exists(f.folder.path("encrypted")));
    QVERIFY(QTest::qWaitFor([&] { return f.window.cipherRun->poll(); }));

    E_Timer_Timer(f.window);
    QCOMPARE(f.window.Label1->text(), "Files Locked Sucessfully");
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

void TestLock::shortCopyOfTheScriptIsNeverRun_data() {
    addShortCopyRows();
}

void TestLock::shortCopyOfTheScriptIsNeverRun() {
    QFETCH(bool, readable);
    LockerFixture f;
    f.openLocker();
    f.shipScriptThatCopiesShort("ezentil.kqx", readable);
    {
        const FileSizeLimit nearlyFullDisk;
        lock_Click(f.window);
    }
    QVERIFY(!QFile::exists(f.folder.path("e.bat")));
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
    QCOMPARE(f.dialogs.shown.last().buttons, Dialogs::Buttons::YesNoDefaultNo);
    QVERIFY(!f.window.isUnloaded());
    QCOMPARE(f.window.QuitFlag, 0);
    QCOMPARE(f.folder.setting("Files"), "0");

    f.dialogs.queueAnswer(Dialogs::Answer::Yes);
    nolock_Click(f.window);
    QCOMPARE(f.window.QuitFlag, 1);
    QVERIFY(f.window.isUnloaded());
}

void TestLock::emptyLockerBehindALinkIsKeptAndRecordedAsEmpty() {
    LockerFixture f;
    openWithEncryptScript(f);
    QDir().rmdir(f.folder.path("Locker"));
    QDir().mkpath(f.folder.path("elsewhere"));
    QFile::link(f.folder.path("elsewhere"), f.folder.path("Locker"));
    lock_Click(f.window);
    QVERIFY(QFileInfo(f.folder.path("Locker")).isSymLink());
    QCOMPARE(f.folder.setting("Files"), "0");
}

void TestLock::theRunsEndDecidesHowLockingEnds_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("message");
    QTest::newRow("every file encrypted") << "exit 0"
                                          << "";
    QTest::newRow("zentil cannot run") << "exit 127"
                                       << "The cipher program zentil did not run to its end.\r\n"
                                          "Files it did not reach are still readable.";
    QTest::newRow("one damaged file")
        << "echo 'done files 2/2 bytes 20/20 failed 1 note zentil-errors.txt'; exit 1"
        << "1 file could not be encrypted and is still readable.\r\n"
           "Locker/zentil-errors.txt names it.";
}

// Success is claimed only for a run that encrypted every file; a failed one is told of, recorded
// as nothing locked, and the program ends as when the script is missing.
void TestLock::theRunsEndDecidesHowLockingEnds() {
    QFETCH(QString, script);
    QFETCH(QString, message);
    LockerFixture f;
    f.folder.writeFile("ezentil.kqx", script.toUtf8());
    f.openLocker();
    f.folder.writeFile("Locker/a.txt", "a");
    lock_Click(f.window);
    QVERIFY(f.tickToTheEnd(E_Timer_Timer, *f.window.E_Label));
    QVERIFY(f.window.isUnloaded());
    QCOMPARE(f.dialogs.shown.size(), message.isEmpty() ? 0 : 1);
    if (message.isEmpty()) {
        QCOMPARE(f.window.Label1->text(), "Files Locked Sucessfully");
        QCOMPARE(f.folder.setting("Files"), "1");
        return;
    }
    QCOMPARE(f.dialogs.shown[0].text, message);
    QCOMPARE(f.dialogs.shown[0].title, "Troubleshooting");
    QCOMPARE(f.window.Label1->text(), "Locking in Progress...");
    QCOMPARE(f.folder.setting("Files"), "0");
    QCOMPARE(f.window.QuitFlag, 1);
}

// The run goes on until the test lets it end by a file "go".
void TestLock::aLongRunIsWaitedForWithItsProgress() {
    LockerFixture f;
    f.folder.writeFile("ezentil.kqx",
                       "echo 'working files 1/3 bytes 1/3 failed 0'\n"
                       "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.02; done\n");
    f.openLocker();
    f.folder.writeFile("Locker/a.txt", "a");
    lock_Click(f.window);
    f.tickPastTheTimeline(E_Timer_Timer);

    QCOMPARE(f.window.E_Label->text(), "3");
    QCOMPARE(f.window.Label1->text(), "Locking in Progress...");
    QCOMPARE(f.window.Progress->text->text(), "1 of 3 files");
    QVERIFY(f.window.Progress->isVisible());
    QVERIFY(!f.window.close());
    QVERIFY(f.dialogs.menus.isEmpty());
    QVERIFY(!f.window.isUnloaded());

    f.folder.writeFile("go", "");
    QVERIFY(QTest::qWaitFor([&] { return f.window.cipherRun->poll(); }));
    E_Timer_Timer(f.window);
    QCOMPARE(f.window.Label1->text(), "Files Locked Sucessfully");
    QVERIFY(!f.window.isUnloaded());
    E_Timer_Timer(f.window);
    QVERIFY(f.window.isUnloaded());
    QVERIFY(f.dialogs.shown.isEmpty());
}

QTEST_MAIN(TestLock)
#include "test_lock.moc"
