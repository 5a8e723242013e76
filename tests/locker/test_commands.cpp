#include "locker/engine/lock.h"
#include "tests/locker/lockerfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void exitEndsTheProgramFromEveryPrompt_data();
    void exitEndsTheProgramFromEveryPrompt();
    void backAbandonsAChangeOfPassword();
    void masterKeyBoxStoresEveryChange();
    void helpOpensTheReadmeOrSaysItIsMissing();
    void openLockerOpensTheFolderOrNothing();
    void whatTheDesktopCannotOpenIsNamed_data();
    void whatTheDesktopCannotOpenIsNamed();
    void uninstallAnsweredNoResetsTheMarker();
    void uninstallAnsweredYesHandsOverAsTheProgramEnds();
};

void TestCommands::exitEndsTheProgramFromEveryPrompt_data() {
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("entries");
    QTest::newRow("password prompt") << true << 0;
    QTest::newRow("first run") << false << 0;
    QTest::newRow("first run, confirming") << false << 1;
}

void TestCommands::exitEndsTheProgramFromEveryPrompt() {
    QFETCH(bool, stored);
    QFETCH(int, entries);
    LockerFixture f;
    if (stored)
        f.folder.setSetting("Psetting", MakeCode("pw"));
    f.start();
    for (int i = 0; i < entries; ++i) {
        f.window.Password->setText("new");
        f.window.Ok->click();
    }
    const QByteArray settings = f.folder.settingsFileContents();
    f.window.Cancel->click();
    QVERIFY(f.window.isUnloaded());
    QCOMPARE(f.folder.settingsFileContents(), settings);
}

void TestCommands::backAbandonsAChangeOfPassword() {
    LockerFixture f;
    f.openLocker();
    f.window.ChangePassword->click();
    QCOMPARE(f.window.Label1->text(), "Set  new Password");
    QCOMPARE(f.window.Cancel->text(), "Back");
    QVERIFY(f.window.Password->isVisible());
    f.window.Password->setText("other");
    f.window.Ok->click();
    QCOMPARE(f.window.Ok->text(), "Confirm");
    f.window.Cancel->click();
    QCOMPARE(f.window.Label1->text(), "    Open Locker          Lock");
    QVERIFY(f.window.OpenLocker->isVisible());
    QVERIFY(!f.window.Password->isVisible());
    QVERIFY(!f.window.isUnloaded());
    QCOMPARE(f.folder.setting("Psetting"), MakeCode("secret"));
    // The next change starts again at its first step.
    f.window.ChangePassword->click();
    QCOMPARE(f.window.Ok->text(), "Set");
    QCOMPARE(f.window.Password->text(), QString());
}

void TestCommands::masterKeyBoxStoresEveryChange() {
    LockerFixture f;
    f.openLocker();
    QVERIFY(f.window.MasterCheck->isChecked());
    QTest::mouseClick(f.window.MasterCheck, Qt::LeftButton);
    QCOMPARE(f.folder.setting("Msetting"), "0");
    QTest::mouseClick(f.window.MasterCheck, Qt::LeftButton);
    QCOMPARE(f.folder.setting("Msetting"), "1");
    // The greyed state stores nothing.
    f.window.MasterCheck->setTristate(true);
    f.window.MasterCheck->setCheckState(Qt::PartiallyChecked);
    QCOMPARE(f.folder.setting("Msetting"), "1");
}

void TestCommands::helpOpensTheReadmeOrSaysItIsMissing() {
    LockerFixture f;
    f.start();
    f.window.Help->click();
    QCOMPARE(f.shell.opened, QStringList{f.folder.path("Readme.html")});
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text, "Can't find Readme.html file.");
    QCOMPARE(f.dialogs.shown[0].title, "Troubleshooting");
    QCOMPARE(f.dialogs.shown[0].buttons, Dialogs::Buttons::Ok);

    f.folder.writeFile("Readme.html", "<p>help</p>");
    f.window.Help->click();
    QCOMPARE(f.shell.opened.size(), 2);
    QCOMPARE(f.dialogs.shown.size(), 1);
}

void TestCommands::openLockerOpensTheFolderOrNothing() {
    LockerFixture f;
    f.openLocker();
    f.shell.opened.clear();
    f.window.OpenLocker->click();
    QCOMPARE(f.shell.opened, QStringList{f.folder.path("Locker")});
    QDir(f.folder.path("Locker")).removeRecursively();
    f.window.OpenLocker->click();
    QVERIFY(f.dialogs.shown.isEmpty());
    QCOMPARE(f.window.Label1->text(), "    Open Locker          Lock");
}

void TestCommands::whatTheDesktopCannotOpenIsNamed_data() {
    QTest::addColumn<QString>("road");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("the locker at unlock") << "unlock"
                                          << "Locker"
                                          << "Open Locker";
    QTest::newRow("the locker by Open Locker") << "Open Locker"
                                               << "Locker"
                                               << "Open Locker";
    QTest::newRow("the help document") << "Help"
                                       << "Readme.html"
                                       << "Troubleshooting";
}

// A desktop without a file manager or an opener.
void TestCommands::whatTheDesktopCannotOpenIsNamed() {
    QFETCH(QString, road);
    QFETCH(QString, name);
    QFETCH(QString, title);
    LockerFixture f;
    f.folder.writeFile("Readme.html", "<p>help</p>");
    const auto failFromNowOn = [&f] { f.shell.nextOpenResult = Shell::OpenResult::Failed; };
    if (road == "Help") {
        f.start();
        failFromNowOn();
        f.window.Help->click();
    } else if (road == "unlock") {
        failFromNowOn();
        f.openLocker();
    } else {
        f.openLocker();
        failFromNowOn();
        f.window.OpenLocker->click();
    }
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text, "The desktop could not open\r\n" + f.folder.path(name));
    QCOMPARE(f.dialogs.shown[0].title, title);
    QCOMPARE(f.dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
    if (road != "Help")
        QCOMPARE(f.window.Label1->text(), "    Open Locker          Lock");
}

void TestCommands::uninstallAnsweredNoResetsTheMarker() {
    LockerFixture f;
    f.openLocker();
    QCOMPARE(f.folder.setting("Rmove"), "out");
    // Written even when it already reads "out".
    f.folder.setSetting("Rmove", "out");
    f.dialogs.queueAnswer(Dialogs::Answer::No);
    f.window.Uninstall->click();
    QCOMPARE(f.dialogs.shown[0].text, "Do you really want to uninstall Tarvolen.\r\n"
                                      "Your personal locker folder will not be deleted.\r\n"
                                      "Are you sure?");
    QCOMPARE(f.dialogs.shown[0].title, "Uninstall");
    QCOMPARE(f.dialogs.shown[0].buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(f.folder.setting("Rmove"), "out");
    QVERIFY(f.shell.started.isEmpty());
    QVERIFY(!f.window.isUnloaded());
    QCOMPARE(f.window.QuitFlag, 0);
}

// The exit menu comes first (the locker is open); the uninstaller starts once the program ends,
// from the program folder, in "/", and finds the marker that says the user asked from here.
void TestCommands::uninstallAnsweredYesHandsOverAsTheProgramEnds() {
    LockerFixture f;
    f.shipScript("ezentil.kqx", "encrypted");
    f.openLocker();
    f.dialogs.queueAnswer(Dialogs::Answer::Yes);
    f.dialogs.queueMenuChoice("Lock Folder and Exit");
    f.window.Uninstall->click();
    QCOMPARE(f.window.QuitFlag, 1);
    QVERIFY(f.shell.started.isEmpty());
    QVERIFY(f.tickToTheEnd(E_Timer_Timer, *f.window.E_Label));
    QVERIFY(f.window.isUnloaded());
    QCOMPARE(f.folder.setting("Rmove"), "in");
    QCOMPARE(f.shell.started.size(), 1);
    QCOMPARE(f.shell.started[0].program, f.folder.path("Uninstall"));
    QCOMPARE(f.shell.started[0].workingDirectory, "/");
}

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
