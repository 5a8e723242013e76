#include "locker/engine/unlock.h"
#include "locker/window/progress.h"
#include "platform/core/script.h"
#include "tests/locker/lockerfixture.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

namespace {

// Up to the moment the decrypt script is ready to run.
void acceptPassword(LockerFixture &f) {
    f.folder.setSetting("Psetting", MakeCode("secret"));
    f.folder.setSetting("Files", "1");
    f.start();
    f.window.Password->setText("secret");
    f.window.Ok->click();
}

void expectDecryptFailure(LockerFixture &f) {
    QCOMPARE(f.dialogs.shown.size(), 2);
    QCOMPARE(f.dialogs.shown[0].text,
             "Please make sure you have dzentil.kqx\r\nfile in your Tarvolen directory.");
    QCOMPARE(f.dialogs.shown[0].title, "Troubleshooting");
    QCOMPARE(f.dialogs.shown[1].text, "Quiting without decryption, see help.");
    QCOMPARE(f.dialogs.shown[1].title, "Troubleshooting");
    // Nothing was decrypted: the recorded state stays "encrypted".
    QCOMPARE(f.folder.setting("Files"), "1");
    QCOMPARE(f.window.QuitFlag, 1);
    QVERIFY(f.window.isUnloaded());
    QVERIFY(f.shell.opened.isEmpty());
}

} // namespace

class TestUnlock : public QObject {
    Q_OBJECT
private slots:
    void timelineTickByTick();
    void existingLockerIsOpenedUnchanged();
    void missingScriptEndsTheProgram();
    void shortCopyOfTheScriptIsNeverRun_data();
    void shortCopyOfTheScriptIsNeverRun();
    void ticksDuringTheFailureMessagesRunNoStep();
    void closingIsRefusedWhileWaiting();
    void theRunsEndDecidesWhatTheOpenLockerTells_data();
    void theRunsEndDecidesWhatTheOpenLockerTells();
    void aLongRunIsWaitedForWithItsProgress();
};

void TestUnlock::timelineTickByTick() {
    LockerFixture f;
    f.shipScript("dzentil.kqx", "decrypted");
    acceptPassword(f);
    f.folder.setSetting("Rmove", "in");

    D_Timer_Timer(f.window);
    QCOMPARE(f.window.D_Label->text(), "1");
    QVERIFY(f.window.Label6->text().toLongLong() > 0);
    QCOMPARE(f.folder.setting("Rmove"), "out");
    QVERIFY(f.window.D_Timer->isActive());
    QTRY_VERIFY(QFile::exists(f.folder.path("decrypted")));

    D_Timer_Timer(f.window);
    D_Timer_Timer(f.window);
    QCOMPARE(f.window.D_Label->text(), "3");
    QVERIFY(QFile::exists(f.folder.path("d.bat")));
    QVERIFY(!QFile::exists(f.folder.path("Locker")));
    QCOMPARE(f.window.Label1->text(), "Please Wait...");

    QVERIFY(f.tickToTheEnd(D_Timer_Timer, *f.window.D_Label));
    QVERIFY(!QFile::exists(f.folder.path("d.bat")));
    QVERIFY(QFileInfo(f.folder.path("Locker")).isDir());
    QCOMPARE(f.shell.opened, QStringList{f.folder.path("Locker")});
    QVERIFY(!f.window.D_Timer->isActive());
    QCOMPARE(f.window.Label1->text(), "    Open Locker          Lock");
    QVERIFY(f.window.OpenLocker->isVisible());
    QVERIFY(!f.window.Label3->isVisible());
    QVERIFY(f.dialogs.shown.isEmpty());
    // The files are decrypted: a crash from here on must not leave them recorded as encrypted.
    QCOMPARE(f.folder.setting("Files"), "0");
}

void TestUnlock::existingLockerIsOpenedUnchanged() {
    LockerFixture f;
    f.shipScript("dzentil.kqx", "decrypted");
    f.folder.writeFile("Locker/note.txt", "kept");
    acceptPassword(f);
    QVERIFY(f.tickToTheEnd(D_Timer_Timer, *f.window.D_Label));
    QCOMPARE(f.folder.readFile("Locker/note.txt"), "kept");
    QCOMPARE(f.shell.opened, QStringList{f.folder.path("Locker")});
}

void TestUnlock::missingScriptEndsTheProgram() {
    LockerFixture f;
    acceptPassword(f);
    QVERIFY(!QFile::exists(f.folder.path("d.bat")));
    D_Timer_Timer(f.window);
    expectDecryptFailure(f);
    QVERIFY(!QFile::exists(f.folder.path("Locker")));
}

void TestUnlock::shortCopyOfTheScriptIsNeverRun_data() {
    addShortCopyRows();
}

void TestUnlock::shortCopyOfTheScriptIsNeverRun() {
    QFETCH(bool, readable);
    LockerFixture f;
    f.shipScriptThatCopiesShort("dzentil.kqx", readable);
    {
        const FileSizeLimit nearlyFullDisk;
        acceptPassword(f);
    }
    QVERIFY(!QFile::exists(f.folder.path("d.bat")));
    D_Timer_Timer(f.window);
    expectDecryptFailure(f);
}

void TestUnlock::ticksDuringTheFailureMessagesRunNoStep() {
    LockerFixture f;
    acceptPassword(f);
    bool timerRanWhileShown = true;
    f.dialogs.whileNextIsOpen([&] { timerRanWhileShown = f.window.D_Timer->isActive(); });
    D_Timer_Timer(f.window);
    QVERIFY(!timerRanWhileShown);
    QCOMPARE(f.window.D_Label->text(), "1");
}

void TestUnlock::closingIsRefusedWhileWaiting() {
    LockerFixture f;
    f.shipScript("dzentil.kqx", "decrypted");
    acceptPassword(f);
    D_Timer_Timer(f.window);
    QVERIFY(!f.window.close());
    QVERIFY(f.window.isVisible());
    QVERIFY(f.dialogs.menus.isEmpty());
}

void TestUnlock::theRunsEndDecidesWhatTheOpenLockerTells_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("files");
    const QString unfinished = "The cipher program zentil did not run to its end.\r\n"
                               "Files it did not reach are still encrypted.";
    QTest::newRow("every file decrypted") << "exit 0"
                                          << ""
                                          << "0";
    QTest::newRow("zentil cannot run") << "exit 127" << unfinished << "1";
    QTest::newRow("killed") << "kill -9 $$" << unfinished << "1";
    QTest::newRow("one damaged file")
        << "echo 'done files 3/3 bytes 30/30 failed 1 note zentil-errors.txt'; exit 1"
        << "1 file could not be decrypted and is still encrypted.\r\n"
           "Locker/zentil-errors.txt names it."
        << "1";
    QTest::newRow("many damaged files")
        << "echo 'working files 9/1500 bytes 9/90 failed 0'\n"
           "echo 'done files 1500/1500 bytes 90/90 failed 1200 note zentil-errors-2.txt'; exit 1"
        << "1,200 files could not be decrypted and are still encrypted.\r\n"
           "Locker/zentil-errors-2.txt names them."
        << "1";
}

// The locker opens whatever the run did; what it did is told, and recorded.
void TestUnlock::theRunsEndDecidesWhatTheOpenLockerTells() {
    QFETCH(QString, script);
    QFETCH(QString, message);
    QFETCH(QString, files);
    LockerFixture f;
    f.folder.writeFile("dzentil.kqx", script.toUtf8());
    acceptPassword(f);
    QVERIFY(f.tickToTheEnd(D_Timer_Timer, *f.window.D_Label));
    QCOMPARE(f.shell.opened, QStringList{f.folder.path("Locker")});
    QCOMPARE(f.window.Label1->text(), "    Open Locker          Lock");
    QCOMPARE(f.dialogs.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(f.dialogs.shown[0].text, message);
        QCOMPARE(f.dialogs.shown[0].title, "Troubleshooting");
    }
    QCOMPARE(f.folder.setting("Files"), files);
}

// The run goes on until the test lets it end by a file "go"; then it decrypts the one file.
void TestUnlock::aLongRunIsWaitedForWithItsProgress() {
    LockerFixture f;
    f.folder.writeFile("dzentil.kqx", "here=$(dirname \"$0\")\n"
                                      "echo 'working files 120/1000 bytes 25/100 failed 0'\n"
                                      "while [ ! -e \"$here/go\" ]; do sleep 0.02; done\n"
                                      "printf plain > \"$here/Locker/a\"\n");
    f.folder.writeFile("Locker/a", "ZENTIL and ciphertext");
    acceptPassword(f);
    f.tickPastTheTimeline(D_Timer_Timer);

    QCOMPARE(f.window.D_Label->text(), "3");
    QCOMPARE(f.window.Label1->text(), "Please Wait...");
    QVERIFY(f.shell.opened.isEmpty());
    QVERIFY(f.window.Progress->isVisible());
    QCOMPARE(f.window.Progress->text->text(), "120 of 1,000 files");
    QCOMPARE(f.window.Progress->bar->value(), f.window.Progress->bar->maximum() / 4);
    QVERIFY(!f.window.close());
    QVERIFY(f.dialogs.menus.isEmpty());

    f.folder.writeFile("go", "");
    QVERIFY(f.tickToTheEnd(D_Timer_Timer, *f.window.D_Label));
    QCOMPARE(f.shell.opened, QStringList{f.folder.path("Locker")});
    QCOMPARE(f.folder.readFile("Locker/a"), "plain");
    QVERIFY(!f.window.Progress->isVisible());
    QVERIFY(f.dialogs.shown.isEmpty());
}

QTEST_MAIN(TestUnlock)
#include "test_unlock.moc"
