#include "locker/window/about.h"
#include "locker/window/fonts.h"
#include "tests/locker/lockerfixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QWindow>

#include <algorithm>

// Run by wayland.sh under a weston of its own: the window on a real Wayland compositor, with no
// X server to fall back to. Headless weston has no seat, so no pointer and no key presses: the
// test asks the window to close itself, and the menu goes to the window's centre. Without an
// input event to tie it to, Qt maps the menu as a window of its own above the main window rather
// than as its pop-up, and weston places that itself: the test checks where Qt asks for it.

namespace {

bool exposed(const QWidget &widget) {
    return QTest::qWaitFor(
        [&] { return widget.windowHandle() && widget.windowHandle()->isExposed(); });
}

// A picture of weston's whole screen in the folder that wayland.sh names, when it names one.
void screenshot(const QString &name) {
    const QString folder = qEnvironmentVariable("TARVOLEN_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    // What the compositor shows trails the last commit by a frame or two.
    QTest::qWait(300);
    QProcess shooter;
    shooter.setWorkingDirectory(folder);
    shooter.start(QStringLiteral("weston-screenshooter"), {});
    QVERIFY(shooter.waitForFinished() && shooter.exitCode() == 0);
    const QStringList shots = QDir(folder).entryList({QStringLiteral("wayland-screenshot-*")});
    QVERIFY(!shots.isEmpty());
    QDir(folder).remove(name);
    QVERIFY(QDir(folder).rename(shots.first(), name));
}

// The window draws its own title bar, Qt none: the title whole, the buttons that the window's
// flags ask for (never a maximize), and the client area as large as the controls were placed for
// (where they were placed by hand).
void checkTitleBar(const QWidget &window, const QStringList &buttons, QSize clientArea = {}) {
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    const auto *title = window.findChild<QLabel *>(QStringLiteral("Title"));
    QVERIFY(title);
    QCOMPARE(title->text(), window.windowTitle());
    QVERIFY(title->width() >= title->sizeHint().width());
    QStringList names;
    for (const QAbstractButton *button : title->parentWidget()->findChildren<QAbstractButton *>())
        names << button->accessibleName();
    QCOMPARE(names, buttons);
    if (clientArea.isValid())
        QCOMPARE(window.contentsRect().size(), clientArea);
}

QAbstractButton *closeButton(const QWidget &window) {
    const auto buttons = window.findChildren<QAbstractButton *>();
    const auto found = std::find_if(buttons.begin(), buttons.end(), [](QAbstractButton *b) {
        return b->accessibleName() == QLatin1String("Close");
    });
    return found == buttons.end() ? nullptr : *found;
}

} // namespace

class TestWayland : public QObject {
    Q_OBJECT
private slots:
    void windowComesUpNatively();
    void exitMenuOpensOverTheWindow();
    void messageBoxesHaveTheWindowsFrame();
    void aboutOpensAndCloses();
};

void TestWayland::windowComesUpNatively() {
    QCOMPARE(QGuiApplication::platformName(), "wayland");
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("pw"));
    f.start();
    QVERIFY(exposed(f.window));
    QCOMPARE(f.window.windowTitle(), "Tarvolen v3.0");
    checkTitleBar(f.window, {"Minimize", "Close"}, QSize(180, 355));
    QCOMPARE(f.window.Label1->text(), "Enter Password");
    QCOMPARE(f.window.Ok->text(), "OK");
    QCOMPARE(f.window.Cancel->text(), "Exit");
    QCOMPARE(f.window.Help->text(), "Help");
    screenshot("prompt.png");
}

// The menu is shown without blocking, where the real one would go, while the window decides on
// the close that the title bar's button asked for.
void TestWayland::exitMenuOpensOverTheWindow() {
    LockerFixture f;
    f.openLocker();
    QVERIFY(exposed(f.window));
    QMenu &menu = *f.window.mnuexit;
    f.dialogs.whileNextIsOpen([&] {
        menu.popup(popupMenuPosition(menu, QCursor::pos()));
        QVERIFY(exposed(menu));
        screenshot("exit-menu.png");
    });
    QAbstractButton *close = closeButton(f.window);
    QVERIFY(close);
    close->click();
    QCOMPARE(f.dialogs.menus.size(), 1);
    QVERIFY(!f.window.isUnloaded());
    QCOMPARE(menu.windowHandle()->transientParent(), f.window.windowHandle());
    // Where Qt put the menu relative to the window: what a pop-up of the window asks for.
    const QPoint centre = f.window.rect().center();
    QCOMPARE(menu.pos() - f.window.geometry().topLeft(),
             centre - QPoint(menu.sizeHint().width() / 2, 0));
    menu.close();
}

// Boxes with a short text and a long title, and the other way round: the main window's frame
// with the whole title and a close button only, the box a transient of the main window.
void TestWayland::messageBoxesHaveTheWindowsFrame() {
    LockerFixture f;
    f.start();
    QVERIFY(exposed(f.window));
    const struct {
        const char *text, *title;
        Dialogs::Buttons buttons;
    } boxes[] = {
        {"Please enter Password", "Excuse me", Dialogs::Buttons::Ok},
        {"Your files will not be encrypted.\r\nAre you sure?", "Please note",
         Dialogs::Buttons::YesNoDefaultNo},
        {"No", "Tarvolen v3.0", Dialogs::Buttons::OkCancel},
    };
    for (const auto &b : boxes) {
        const auto box = messageBox(&f.window, b.text, b.title, b.buttons, titleBarFont());
        box->open();
        QVERIFY(exposed(*box));
        checkTitleBar(*box, {"Close"});
        QCOMPARE(box->windowHandle()->transientParent(), f.window.windowHandle());
        screenshot(QString(b.title).replace(' ', '-').toLower() + ".png");
    }
}

void TestWayland::aboutOpensAndCloses() {
    LockerFixture f;
    f.start();
    f.window.Command1->click();
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [](QWidget *w) { return qobject_cast<About *>(w); });
    QVERIFY(found != windows.end());
    auto *about = qobject_cast<About *>(*found);
    QVERIFY(exposed(*about));
    checkTitleBar(*about, {"Close"}, QSize(328, 369));
    screenshot("about.png");
    QPointer<About> closed = about;
    about->Command1->click();
    QTRY_VERIFY(closed.isNull());
}

QTEST_MAIN(TestWayland)
#include "test_wayland.moc"
