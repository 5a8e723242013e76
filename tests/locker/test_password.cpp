#include "tests/locker/lockerfixture.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

// The OK command, given either way a person gives it.
enum class Via { Click, Enter };

} // namespace
Q_DECLARE_METATYPE(Via)
namespace {

void typeAndConfirm(LockerFixture &f, const QString &text, Via via) {
    f.window.Password->setText(text);
    if (via == Via::Click)
        QTest::mouseClick(f.window.Ok, Qt::LeftButton);
    else
        QTest::keyClick(f.window.Password, Qt::Key_Return);
}

// Types text as key presses, beyond what QTest::keyClicks can send.
void typeKeys(QWidget *box, const QString &text) {
    for (char32_t c : text.toUcs4()) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUcs4(&c, 1));
        QApplication::sendEvent(box, &press);
    }
}

bool busyUnlocking(LockerFixture &f) {
    return f.window.Label1->text() == "Please Wait..." && !f.window.Ok->isVisible() &&
           !f.window.Password->isVisible() && f.window.D_Timer->isActive();
}

} // namespace

class TestPassword : public QObject {
    Q_OBJECT
private slots:
    void firstRunSetsConfirmsAndUnlocks_data();
    void firstRunSetsConfirmsAndUnlocks();
    void mismatchAsksForBothEntriesAgain();
    void unsavedPasswordIsReportedAndUnlocksNothing_data();
    void unsavedPasswordIsReportedAndUnlocksNothing();
    void changeConfirmedReturnsToTheMenu();
    void emptyBoxChangesNothing();
    void verification_data();
    void verification();
    void deniedPasswordLeavesThePromptForAnotherTry();
    void storedPasswordIsReadAtEveryVerification();
    void onlyCodePageCharactersAreTyped();
};

void TestPassword::firstRunSetsConfirmsAndUnlocks_data() {
    QTest::addColumn<Via>("via");
    QTest::newRow("click") << Via::Click;
    QTest::newRow("enter") << Via::Enter;
}

void TestPassword::firstRunSetsConfirmsAndUnlocks() {
    QFETCH(Via, via);
    LockerFixture f;
    f.shipScript("dzentil.kqx", "decrypted");
    f.start();
    f.window.Password->setFocus();
    typeAndConfirm(f, "Secret Word", via);
    QCOMPARE(f.window.Ok->text(), "Confirm");
    QCOMPARE(f.window.Label1->text(), "Enter Again to Confirm");
    QCOMPARE(f.window.Cancel->text(), "Exit");
    QCOMPARE(f.window.Password->text(), QString());
    QCOMPARE(f.folder.setting("Psetting"), QString());

    typeAndConfirm(f, "secret word", via);
    QCOMPARE(f.folder.setting("Psetting"), MakeCode("secret word"));
    QVERIFY(busyUnlocking(f));
    QCOMPARE(f.window.D_Label->text(), "0");
    // The decrypt script is prepared as a hidden copy.
    QCOMPARE(f.folder.readFile("d.bat"), f.folder.readFile("dzentil.kqx"));
    QCOMPARE(QFileInfo(f.folder.path("d.bat")).permissions() & 0x7000,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestPassword::mismatchAsksForBothEntriesAgain() {
    LockerFixture f;
    f.start();
    typeAndConfirm(f, "one", Via::Click);
    QString headingWhileShown;
    f.dialogs.whileNextIsOpen([&] { headingWhileShown = f.window.Label1->text(); });
    typeAndConfirm(f, "two", Via::Enter);
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text,
             "Confirmation Failed. Password not matched.\r\nPlease Set the Password Again.");
    QCOMPARE(f.dialogs.shown[0].title, "Confirmation Failed");
    // The message comes before the captions change.
    QCOMPARE(headingWhileShown, "Enter Again to Confirm");
    QCOMPARE(f.window.Ok->text(), "Set");
    QCOMPARE(f.window.Label1->text(), "Set  new Password");
    QCOMPARE(f.window.Cancel->text(), "Exit");
    QCOMPARE(f.window.Password->text(), QString());
    QCOMPARE(f.folder.setting("Psetting"), QString());

    typeAndConfirm(f, "two", Via::Click);
    typeAndConfirm(f, "TWO", Via::Click);
    QCOMPARE(f.folder.setting("Psetting"), MakeCode("two"));
}

void TestPassword::unsavedPasswordIsReportedAndUnlocksNothing_data() {
    QTest::addColumn<bool>("change");
    QTest::newRow("first run") << false;
    QTest::newRow("change") << true;
}

void TestPassword::unsavedPasswordIsReportedAndUnlocksNothing() {
    QFETCH(bool, change);
    LockerFixture f;
    if (change) {
        f.openLocker();
        f.window.enterChangeForm();
    } else {
        f.shipScript("dzentil.kqx", "decrypted");
        f.start();
    }
    // A folder in place of the store's lock file: every write fails, reads still work.
    const QString lockFile = settingsFilePath(kSettingsApp) + ".lock";
    QVERIFY(QFile::remove(lockFile) && QDir().mkdir(lockFile));
    const QString stored = f.folder.setting("Psetting");

    typeAndConfirm(f, "new one", Via::Click);
    typeAndConfirm(f, "new one", Via::Enter);
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text, "The password could not be saved.\r\nNothing was changed.");
    QCOMPARE(f.dialogs.shown[0].title, "Password not saved");
    QCOMPARE(f.window.Ok->text(), "Set");
    QCOMPARE(f.window.Label1->text(), "Set  new Password");
    QCOMPARE(f.window.Cancel->text(), change ? "Back" : "Exit");
    QCOMPARE(f.window.Password->text(), QString());
    QCOMPARE(f.folder.setting("Psetting"), stored);
    QVERIFY(!f.window.D_Timer->isActive());
    QVERIFY(!QFile::exists(f.folder.path("d.bat")));
}

void TestPassword::changeConfirmedReturnsToTheMenu() {
    LockerFixture f;
    f.openLocker();
    f.window.enterChangeForm();
    typeAndConfirm(f, "new one", Via::Enter);
    QCOMPARE(f.window.Cancel->text(), "Back");
    typeAndConfirm(f, "other", Via::Enter);
    QCOMPARE(f.window.Label1->text(), "Set  new Password");
    QCOMPARE(f.window.Cancel->text(), "Back");
    QCOMPARE(f.folder.setting("Psetting"), MakeCode("secret"));

    typeAndConfirm(f, "new one", Via::Click);
    typeAndConfirm(f, "new one", Via::Click);
    QCOMPARE(f.folder.setting("Psetting"), MakeCode("new one"));
    QCOMPARE(f.window.Label1->text(), "    Open Locker          Lock");
    QVERIFY(f.window.OpenLocker->isVisible());
    QVERIFY(!f.window.Password->isVisible());
    // No second unlock: the counter stays where the first one left it.
    QCOMPARE(f.window.D_Label->text(), "4");
    QVERIFY(!f.window.D_Timer->isActive());
}

void TestPassword::emptyBoxChangesNothing() {
    LockerFixture f;
    f.start();
    typeAndConfirm(f, "first", Via::Click);
    typeAndConfirm(f, "", Via::Enter);
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text, "Please enter Password");
    QCOMPARE(f.dialogs.shown[0].title, "Excuse me");
    QCOMPARE(f.window.Ok->text(), "Confirm");
    QCOMPARE(f.window.FirstEntry, "first");
    typeAndConfirm(f, "first", Via::Click);
    QCOMPARE(f.folder.setting("Psetting"), MakeCode("first"));
}

void TestPassword::verification_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("master");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("granted");
    const QString code = "417093862";
    QTest::newRow("right password") << "secret"
                                    << "0"
                                    << "secret" << true;
    QTest::newRow("A to Z in any case") << "secret"
                                        << "0"
                                        << "SeCrEt" << true;
    QTest::newRow("wrong password") << "secret"
                                    << "1"
                                    << "secrets" << false;
    QTest::newRow("blanks are kept") << "secret "
                                     << "0"
                                     << "secret" << false;
    QTest::newRow("with its blank") << "secret "
                                    << "0"
                                    << "secret " << true;
    QTest::newRow("accented capital refused") << "\u00e9t\u00e9"
                                              << "0"
                                              << "\u00c9t\u00e9" << false;
    QTest::newRow("accented lower case accepted") << "\u00e9t\u00e9"
                                                  << "0"
                                                  << "\u00e9T\u00e9" << true;
    QTest::newRow("master code, switch on") << "secret"
                                            << "1" << code << true;
    QTest::newRow("master code, switch off") << "secret"
                                             << "0" << code << false;
    QTest::newRow("master code, switch empty") << "secret"
                                               << "" << code << false;
    QTest::newRow("master code, switch not a number") << "secret"
                                                      << "x" << code << false;
    QTest::newRow("master code compared exactly") << "secret"
                                                  << "1" << code + " " << false;
}

void TestPassword::verification() {
    QFETCH(QString, stored);
    QFETCH(QString, master);
    QFETCH(QString, typed);
    QFETCH(bool, granted);
    for (Via via : {Via::Click, Via::Enter}) {
        LockerFixture f;
        // Stored as a first run stores it: the lower-cased entry.
        f.folder.setSetting("Psetting", MakeCode(stored.toLower()));
        f.folder.setSetting("Msetting", master);
        f.start();
        // Start-up stores "1" for an empty switch; the switch is read at every OK command.
        f.folder.setSetting("Msetting", master);
        typeAndConfirm(f, typed, via);
        QCOMPARE(busyUnlocking(f), granted);
        QCOMPARE(f.dialogs.shown.size(), granted ? 0 : 1);
        if (!granted) {
            QCOMPARE(f.dialogs.shown[0].text, "Access Denied, Invalid Password");
            QCOMPARE(f.dialogs.shown[0].title, "Protection");
        }
    }
}

void TestPassword::deniedPasswordLeavesThePromptForAnotherTry() {
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("secret"));
    f.start();
    for (int attempt = 0; attempt < 5; ++attempt) {
        typeAndConfirm(f, "guess", Via::Enter);
        QCOMPARE(f.window.Label1->text(), "Enter Password");
        QCOMPARE(f.window.Ok->text(), "OK");
        QCOMPARE(f.window.Password->text(), QString());
    }
    typeAndConfirm(f, "secret", Via::Enter);
    QVERIFY(busyUnlocking(f));
}

void TestPassword::storedPasswordIsReadAtEveryVerification() {
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("old"));
    f.start();
    f.folder.setSetting("Psetting", MakeCode("new"));
    typeAndConfirm(f, "old", Via::Click);
    QVERIFY(!busyUnlocking(f));
    typeAndConfirm(f, "new", Via::Click);
    QVERIFY(busyUnlocking(f));
}

void TestPassword::onlyCodePageCharactersAreTyped() {
    LockerFixture f;
    f.start();
    f.window.Password->setFocus();
    typeKeys(f.window.Password, QString::fromUtf8("a\u00e9\u20ac\u0416b\U0001F600"));
    QCOMPARE(f.window.Password->text(), QString::fromUtf8("a\u00e9\u20acb"));
    QTest::keyClicks(f.window.Password, "0123456789abc");
    QCOMPARE(f.window.Password->text().size(), 12);
}

QTEST_MAIN(TestPassword)
#include "test_password.moc"
