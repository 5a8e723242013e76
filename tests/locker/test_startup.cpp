#include "platform/core/menuentry.h"
#include "tests/locker/lockerfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include <optional>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void firstRunAsksForANewPassword();
    void storedPasswordAsksForIt();
    void statusLineFollowsTheRecordedState_data();
    void statusLineFollowsTheRecordedState();
    void masterKeyBoxFollowsTheStoredSwitch_data();
    void masterKeyBoxFollowsTheStoredSwitch();
    void refusesATemporaryFolderAndWritesNothing_data();
    void refusesATemporaryFolderAndWritesNothing();
    void anotherFolderStartsAsAFirstRun();
    void removesTheScriptCopiesOfAKilledRun();
    void activationPutsTheCaretIntoThePasswordBox();
    void aRunOnGnomeHasAnEntryForItsTimeAlone();
};

void TestStartup::firstRunAsksForANewPassword() {
    LockerFixture f;
    f.start();
    QCOMPARE(f.window.Label1->text(), "Set  new Password");
    QCOMPARE(f.window.Ok->text(), "Set");
    QCOMPARE(f.window.Cancel->text(), "Exit");
    QCOMPARE(f.window.Label3->text(), "Please read help if you\r\nare a new user.");
    QCOMPARE(f.folder.setting("Msetting"), "1");
    QVERIFY(f.window.MasterCheck->isChecked());
    QCOMPARE(f.folder.setting("Rmove"), QString());
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestStartup::storedPasswordAsksForIt() {
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("pw"));
    f.folder.setSetting("Files", "1");
    f.start();
    QCOMPARE(f.window.Label1->text(), "Enter Password");
    QCOMPARE(f.window.Ok->text(), "OK");
    QCOMPARE(f.window.Cancel->text(), "Exit");
    QCOMPARE(f.window.Label3->text(), "\r\nFiles Encrypted.");
    QCOMPARE(f.folder.setting("Rmove"), "out");
}

void TestStartup::statusLineFollowsTheRecordedState_data() {
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("status");
    QTest::newRow("accessible") << "0"
                                << "\r\nFiles Accessable.";
    QTest::newRow("encrypted") << "1"
                               << "\r\nFiles Encrypted.";
    QTest::newRow("unknown value leaves it empty") << "2"
                                                   << "";
    QTest::newRow("compared exactly") << "1 "
                                      << "";
}

void TestStartup::statusLineFollowsTheRecordedState() {
    QFETCH(QString, files);
    QFETCH(QString, status);
    LockerFixture f;
    f.folder.setSetting("Files", files);
    f.start();
    QCOMPARE(f.window.Label3->text(), status);
}

void TestStartup::masterKeyBoxFollowsTheStoredSwitch_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("after");
    QTest::newRow("on") << "1" << true << "1";
    QTest::newRow("off") << "0" << false << "0";
    QTest::newRow("other values leave the box and the setting alone") << "2" << false << "2";
}

void TestStartup::masterKeyBoxFollowsTheStoredSwitch() {
    QFETCH(QString, stored);
    QFETCH(bool, ticked);
    QFETCH(QString, after);
    LockerFixture f;
    f.folder.setSetting("Msetting", stored);
    const QByteArray before = f.folder.settingsFileContents();
    f.start();
    QCOMPARE(f.window.MasterCheck->isChecked(), ticked);
    QCOMPARE(f.folder.setting("Msetting"), after);
    if (stored == "2")
        QCOMPARE(f.folder.settingsFileContents(), before);
}

void TestStartup::refusesATemporaryFolderAndWritesNothing_data() {
    QTest::addColumn<QString>("folderName");
    QTest::newRow("TEMP in capitals") << "TEMP/x";
    QTest::newRow("a word that contains it") << "Contemporary/x";
    QTest::newRow("Templates") << "Templates";
}

void TestStartup::refusesATemporaryFolderAndWritesNothing() {
    QFETCH(QString, folderName);
    LockerFixture f(folderName);
    f.folder.setSetting("Psetting", MakeCode("pw"));
    const QByteArray before = f.folder.settingsFileContents();
    f.start();
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text,
             "Please unzip Tarvolen first.\r\nSee readme file for more details.");
    QCOMPARE(f.dialogs.shown[0].title, "Unzip Tarvolen");
    QCOMPARE(f.dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
    QVERIFY(f.window.isUnloaded());
    QVERIFY(!f.window.isVisible());
    QCOMPARE(f.folder.settingsFileContents(), before);
    QCOMPARE(f.window.Label3->text(), QString());
}

void TestStartup::anotherFolderStartsAsAFirstRun() {
    LockerFixture f;
    SaveSetting(kSettingsApp, SettingsSection(f.folder.root() + "/Elsewhere"), "Psetting",
                MakeCode("pw"));
    f.start();
    QCOMPARE(f.window.Ok->text(), "Set");
}

void TestStartup::removesTheScriptCopiesOfAKilledRun() {
    LockerFixture f;
    f.folder.writeFile("d.bat", "left");
    f.folder.writeFile("e.bat", "left");
    f.start();
    QVERIFY(!QFile::exists(f.folder.path("d.bat")) && !QFile::exists(f.folder.path("e.bat")));
}

void TestStartup::activationPutsTheCaretIntoThePasswordBox() {
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("pw"));
    f.start();
    f.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QTRY_VERIFY(f.window.Password->hasFocus());
    // With the box hidden, activation does nothing and does not fail.
    f.window.enterLockerMenu();
    emit f.window.Form_Activate();
    QVERIFY(!f.window.Password->hasFocus());
}

// A listed entry stays exactly as it was; a hidden one exists only while a run on GNOME lasts.
void TestStartup::aRunOnGnomeHasAnEntryForItsTimeAlone() {
    const QByteArray oldDesktop = qgetenv("XDG_CURRENT_DESKTOP");
    for (const QByteArray desktop : {"ubuntu:GNOME", "KDE"})
        for (const auto before : {std::optional<Listing>(), std::optional(Listing::Listed),
                                  std::optional(Listing::Hidden)}) {
            qputenv("XDG_CURRENT_DESKTOP", desktop);
            TestFolder folder;
            const MenuEntry files = menuEntryOf(folder.programFolder());
            if (before)
                addMenuEntry(folder.programFolder(), "PNG", *before);
            const auto entry = [&] {
                QFile file(files.entry);
                return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            };
            const QByteArray listed = before == Listing::Listed ? entry() : "";
            {
                const RunningEntry running(folder.programFolder(), "PNG");
                const bool hidden = listed.isEmpty() && desktop != "KDE";
                QVERIFY2(listed.isEmpty() || entry() == listed, desktop);
                QCOMPARE(entry().endsWith("\nNoDisplay=true\n"), hidden);
            }
            QCOMPARE(entry(), listed);
            QCOMPARE(QFile::exists(files.icon), !listed.isEmpty());
        }
    qputenv("XDG_CURRENT_DESKTOP", oldDesktop);
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
