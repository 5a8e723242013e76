#include "locker/window/changelabel.h"
#include "tests/locker/lockerfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QList<QWidget *> promptGroup(const LockerWindow &w) {
    return {w.Password, w.Ok, w.Cancel, w.Help, w.Label3};
}

QList<QWidget *> menuGroup(const LockerWindow &w) {
    return {w.OpenLocker, w.ExitProgram, w.ChangePassword, w.Uninstall,
            w.Label2,     w.MasterCheck, w.MasterLabel};
}

bool anyVisible(const QList<QWidget *> &controls) {
    return std::any_of(controls.begin(), controls.end(), [](QWidget *c) { return c->isVisible(); });
}

bool leftAligned(const QLabel *label) {
    return (label->alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void looksAsLoaded();
    void controlsSitAtTheirPlaces();
    void groupsAreNeverShownTogether();
    void counterChangeRunsItsHandlerAtOnce_data();
    void counterChangeRunsItsHandlerAtOnce();
    void tabOrderSkipsHiddenControls();
    void exitMenuHasItsFourItems();
    void keyboardFocusShowsAndEnterPresses_data();
    void keyboardFocusShowsAndEnterPresses();
};

void TestWindow::looksAsLoaded() {
    LockerFixture f;
    f.window.show();
    QCOMPARE(f.window.windowTitle(), "Tarvolen v3.0");
    QCOMPARE(f.window.size(), QSize(180, 355));
    QCOMPARE(f.window.minimumSize(), f.window.maximumSize());
    QCOMPARE(f.window.Label1->text(), "Enter Password");
    QCOMPARE(f.window.Ok->text(), "OK");
    QCOMPARE(f.window.Cancel->text(), "Exit");
    QCOMPARE(f.window.Help->text(), "Help");
    QCOMPARE(f.window.Password->maxLength(), 12);
    QCOMPARE(f.window.Password->echoMode(), QLineEdit::Password);
    for (QWidget *counter :
         QList<QWidget *>{f.window.D_Label, f.window.E_Label, f.window.Label6, f.window.Label7}) {
        QCOMPARE(counter->property("text").toString(), "0");
        QVERIFY(!counter->isVisible());
    }
    QCOMPARE(f.window.D_Timer->interval(), 500);
    QVERIFY(!f.window.D_Timer->isActive());
    QVERIFY(!f.window.E_Timer->isActive());
    QCOMPARE(f.window.QuitFlag, 0);
    QCOMPARE(f.window.OpenLocker->toolTip(), "Open Locker");
    QCOMPARE(f.window.ExitProgram->toolTip(), "Exit and Lock");
    QCOMPARE(f.window.ChangePassword->toolTip(), "Change Password");
    QCOMPARE(f.window.Uninstall->toolTip(), "Uninstall Tarvolen");
    QCOMPARE(f.window.Command1->toolTip(), "About");
    QCOMPARE(f.window.Label2->text(), "    Change Key      Uninstall");
    QCOMPARE(f.window.MasterLabel->text(), "Master key on");
    QCOMPARE(f.window.Label1->font().family(), "Book Antiqua");
    QVERIFY(f.window.Label1->font().bold());
    QCOMPARE(f.window.Ok->font().family(), "Comic Sans MS");
    QCOMPARE(f.window.MasterLabel->font().family(), "MS Serif");
}

void TestWindow::controlsSitAtTheirPlaces() {
    LockerFixture f;
    QCOMPARE(f.window.Label1->geometry(), QRect(0, 16, 177, 25));
    QCOMPARE(f.window.Password->geometry(), QRect(40, 48, 105, 25));
    QCOMPARE(f.window.Ok->geometry(), QRect(24, 88, 65, 25));
    QCOMPARE(f.window.Cancel->geometry(), QRect(88, 88, 65, 25));
    QCOMPARE(f.window.Help->geometry(), QRect(56, 112, 65, 25));
    QCOMPARE(f.window.Label3->geometry(), QRect(0, 144, 177, 49));
    QCOMPARE(f.window.OpenLocker->geometry(), QRect(16, 40, 65, 57));
    QCOMPARE(f.window.ExitProgram->geometry(), QRect(96, 40, 65, 57));
    QCOMPARE(f.window.Label2->geometry(), QRect(0, 104, 177, 25));
    QCOMPARE(f.window.ChangePassword->geometry(), QRect(16, 128, 65, 57));
    QCOMPARE(f.window.Uninstall->geometry(), QRect(96, 128, 65, 57));
    QCOMPARE(f.window.Command1->geometry(), QRect(80, 288, 33, 33));
    QCOMPARE(f.window.Label4->geometry(), QRect(80, 320, 41, 17));
    QCOMPARE(f.window.MasterCheck->geometry(), QRect(24, 312, 17, 17));
    QCOMPARE(f.window.MasterLabel->pos(), QPoint(8, 328));
    // Never narrower than its place, and wide enough for its whole caption.
    QVERIFY(f.window.MasterLabel->width() >= 49);
    QVERIFY(f.window.MasterLabel->width() >= f.window.MasterLabel->sizeHint().width());
}

void TestWindow::groupsAreNeverShownTogether() {
    LockerFixture f;
    f.openLocker();
    auto check = [&](bool promptShown, bool left) {
        QCOMPARE(anyVisible(promptGroup(f.window)) && anyVisible(menuGroup(f.window)), false);
        QCOMPARE(anyVisible(menuGroup(f.window)), !promptShown);
        QCOMPARE(leftAligned(f.window.Label1), left);
        QVERIFY(f.window.Command1->isVisible());
        QVERIFY(f.window.Label4->isVisible());
    };
    check(false, true);
    f.window.enterChangeForm();
    check(true, false);
    QCOMPARE(f.window.Label3->text(), "\r\nClick Back to Cancel");
    f.window.enterConfirmPrompt();
    check(true, false);
    f.window.enterLockerMenu();
    check(false, true);
    // The hidden buttons keep their captions until the change form sets them again.
    QCOMPARE(f.window.Ok->text(), "Confirm");
    QCOMPARE(f.window.Cancel->text(), "Back");
    f.window.enterBusyLocking();
    QVERIFY(!anyVisible(menuGroup(f.window)));
    QVERIFY(!leftAligned(f.window.Label1));
}

void TestWindow::counterChangeRunsItsHandlerAtOnce_data() {
    using Set = std::function<void(ChangeLabel &, const QString &)>;
    QTest::addColumn<Set>("set");
    QTest::newRow("directly") << Set([](ChangeLabel &l, const QString &t) { l.setText(t); });
    QTest::newRow("as a property")
        << Set([](ChangeLabel &l, const QString &t) { l.setProperty("text", t); });
    QTest::newRow("through the meta-object system") << Set([](ChangeLabel &l, const QString &t) {
        QMetaObject::invokeMethod(&l, "setText", Q_ARG(QString, t));
    });
}

void TestWindow::counterChangeRunsItsHandlerAtOnce() {
    QFETCH(std::function<void(ChangeLabel &, const QString &)>, set);
    ChangeLabel label(QStringLiteral("0"));
    QStringList seen;
    QObject::connect(&label, &ChangeLabel::Change, [&] { seen << label.text(); });
    set(label, "1");
    QCOMPARE(seen, QStringList{"1"});
    set(label, "1");
    QCOMPARE(seen, QStringList{"1"});
}

void TestWindow::tabOrderSkipsHiddenControls() {
    LockerFixture f;
    f.openLocker();
    f.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.window.OpenLocker->setFocus();
    const QList<QWidget *> expected = {f.window.ExitProgram, f.window.ChangePassword,
                                       f.window.Uninstall, f.window.Command1, f.window.MasterCheck};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestWindow::exitMenuHasItsFourItems() {
    LockerFixture f;
    QCOMPARE(f.window.mnuexit->actions(),
             (QList<QAction *>{f.window.lock, f.window.nolock, f.window.h1, f.window.mnuCancel}));
    QCOMPARE(f.window.lock->text(), "Lock Folder and Exit");
    QCOMPARE(f.window.nolock->text(), "Exit without Locking");
    QVERIFY(f.window.h1->isSeparator());
    QCOMPARE(f.window.mnuCancel->text(), "Cancel");
}

void TestWindow::keyboardFocusShowsAndEnterPresses_data() {
    QTest::addColumn<int>("index");
    int index = 0;
    for (const char *name : {"Ok", "Cancel", "Help", "OpenLocker", "ExitProgram", "ChangePassword",
                             "Uninstall", "Command1"})
        QTest::newRow(name) << index++;
}

// The window alone, not wired to its handlers: only the button's own behaviour counts.
void TestWindow::keyboardFocusShowsAndEnterPresses() {
    QFETCH(int, index);
    TestFolder folder;
    FakeDialogs dialogs;
    FakeShell shell;
    LockerWindow w(folder.programFolder(), dialogs, shell);
    QPushButton *button = QList{w.Ok,          w.Cancel,         w.Help,      w.OpenLocker,
                                w.ExitProgram, w.ChangePassword, w.Uninstall, w.Command1}[index];
    w.show();
    if (!button->isVisible())
        w.enterLockerMenu();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    button->clearFocus();
    const QImage unfocused = button->grab().toImage();
    button->setFocus(Qt::TabFocusReason);
    QVERIFY(button->hasFocus());
    QVERIFY(button->grab().toImage() != unfocused);
    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter);
    QCOMPARE(clicked.count(), 2);
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
