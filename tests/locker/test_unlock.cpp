#include "locker/engine/unlock.h"
#include "tests/locker/lockerfixture.h"

#include <QFile>
#include <QLabel>
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
    void scriptGoneBeforeItsTimeEndsTheProgram();
    void ticksDuringTheFailureMessagesRunNoStep();
    void closingIsRefusedWhileWaiting();
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

    D_Timer_Timer(f.window);
    QVERIFY(!QFile::exists(f.folder.path("d.bat")));
    QVERIFY(QFileInfo(f.folder.path("Locker")).isDir());
    QCOMPARE(f.shell.opened, QStringList{f.folder.path("Locker")});
    QVERIFY(!f.window.D_Timer->isActive());
    QCOMPARE(f.window.Label1->text(), "    Open Locker          Lock");
    QVERIFY(f.window.OpenLocker->isVisible());
    QVERIFY(!f.window.Label3->isVisible());
    QVERIFY(f.dialogs.shown.isEmpty());
    // The recorded locker state is the lock command's business.
    QCOMPARE(f.folder.setting("Files"), "1");
}

void TestUnlock::existingLockerIsOpenedUnchanged() {
    LockerFixture f;
    f.shipScript("dzentil.kqx", "decrypted");
    f.folder.writeFile("Locker/note.txt", "kept");
    acceptPassword(f);
    for (int tick = 0; tick < 4; ++tick)
        D_Timer_Timer(f.window);
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

void TestUnlock::scriptGoneBeforeItsTimeEndsTheProgram() {
    LockerFixture f;
    f.shipScript("dzentil.kqx", "decrypted");
    acceptPassword(f);
    D_Timer_Timer(f.window);
    QFile::remove(f.folder.path("d.bat"));
    D_Timer_Timer(f.window);
    D_Timer_Timer(f.window);
    D_Timer_Timer(f.window);
    expectDecryptFailure(f);
    QVERIFY(!QFile::exists(f.folder.path("Locker")));
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

QTEST_MAIN(TestUnlock)
#include "test_unlock.moc"
