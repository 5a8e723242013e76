#include "locker/window/about.h"
#include "tests/locker/lockerfixture.h"

#include <QLabel>
#include <QPointer>
#include <QTest>

namespace {

// The About windows open at the moment.
QList<About *> aboutWindows() {
    QList<About *> open;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *about = qobject_cast<About *>(widget); about && about->isVisible())
            open << about;
    }
    return open;
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void showsOneWindow();
    void closingGivesThePasswordBoxTheFocus();
    void closingInTheLockerMenuChangesNothing();
    void unloadAllClosesItFirst();
    void closingTheMainWindowLeavesItOpen();
    void closingAfterTheMainWindowIsGoneDoesNothing();
};

void TestAbout::showsOneWindow() {
    LockerFixture f;
    f.start();
    f.window.Command1->click();
    f.window.Command1->click();
    QCOMPARE(aboutWindows().size(), 1);
    About *about = aboutWindows().first();
    QCOMPARE(about->windowTitle(), "About Version 3.0");
    QCOMPARE(about->size(), QSize(328, 369));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QCOMPARE(about->Command1->text(), "OK");
    QVERIFY(about->Label1->text().endsWith("https://tarvolen.example.org"));
    QCOMPARE(about->Picture1->pixmap().size(), QSize(295, 195));
    QVERIFY(!about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!about->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    QPointer<About> closed = about;
    about->Command1->click();
    QTRY_VERIFY(closed.isNull());
    f.window.Command1->click();
    QCOMPARE(aboutWindows().size(), 1);
    aboutWindows().first()->close();
}

void TestAbout::closingGivesThePasswordBoxTheFocus() {
    LockerFixture f;
    f.folder.setSetting("Psetting", MakeCode("pw"));
    f.start();
    f.window.Command1->click();
    f.window.Command1->setFocus();
    QTRY_VERIFY(aboutWindows().first()->isActiveWindow());
    aboutWindows().first()->Command1->click();
    QCOMPARE(f.window.focusWidget(), f.window.Password);
    // Typing goes on in the main window.
    QTRY_VERIFY(f.window.isActiveWindow());
}

void TestAbout::closingInTheLockerMenuChangesNothing() {
    LockerFixture f;
    f.openLocker();
    f.window.Command1->click();
    f.window.Command1->setFocus();
    aboutWindows().first()->close();
    QCOMPARE(f.window.focusWidget(), f.window.Command1);
    QVERIFY(!f.window.Password->isVisible());
}

void TestAbout::unloadAllClosesItFirst() {
    LockerFixture f;
    f.start();
    f.window.Command1->click();
    QPointer<About> about = aboutWindows().first();
    // When the main window's close is decided, the About window is already closed.
    bool aboutClosedFirst = false;
    const auto decide = f.window.Form_Unload;
    f.window.Form_Unload = [&] {
        aboutClosedFirst = about.isNull() || !about->isVisible();
        return decide();
    };
    f.window.Cancel->click();
    QVERIFY(f.window.isUnloaded());
    QVERIFY(aboutClosedFirst);
    QTRY_VERIFY(about.isNull());
}

void TestAbout::closingTheMainWindowLeavesItOpen() {
    LockerFixture f;
    f.start();
    f.window.Command1->click();
    QVERIFY(f.window.close());
    QCOMPARE(aboutWindows().size(), 1);
    aboutWindows().first()->close();
}

void TestAbout::closingAfterTheMainWindowIsGoneDoesNothing() {
    QPointer<About> about;
    {
        LockerFixture f;
        f.start();
        f.window.Command1->click();
        about = aboutWindows().first();
    }
    QVERIFY(about->close());
    QTRY_VERIFY(about.isNull());
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
