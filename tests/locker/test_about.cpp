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
    void keyboardClosesIt_data();
    void keyboardClosesIt();
    void textIsReadableOnLightAndDarkPalettes_data();
    void textIsReadableOnLightAndDarkPalettes();
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

void TestAbout::keyboardClosesIt_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("onOk");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    QTest::newRow("Enter on OK") << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on the keypad on OK") << int(Qt::Key_Enter) << true;
}

void TestAbout::keyboardClosesIt() {
    QFETCH(int, key);
    QFETCH(bool, onOk);
    LockerFixture f;
    f.start();
    f.window.Command1->click();
    QPointer<About> about = qobject_cast<About *>(f.window.about.data());
    QWidget *target = onOk ? static_cast<QWidget *>(about->Command1) : about.data();
    if (onOk)
        about->Command1->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QTRY_VERIFY(about.isNull());
}

void TestAbout::textIsReadableOnLightAndDarkPalettes_data() {
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");
    QTest::newRow("light") << QColor(Qt::white) << QColor(Qt::black);
    QTest::newRow("dark") << QColor(40, 40, 40) << QColor(230, 230, 230);
}

// Some pixel of every text stands far apart from the window's background.
void TestAbout::textIsReadableOnLightAndDarkPalettes() {
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    const QPalette before = QApplication::palette();
    QPalette palette = before;
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, background);
    QApplication::setPalette(palette);
    LockerFixture f;
    f.start();
    f.window.Command1->click();
    auto *about = qobject_cast<About *>(f.window.about.data());
    for (QLabel *label : {about->Label1, about->Label2}) {
        const QImage picture =
            about->grab(QRect(label->mapTo(about, QPoint(0, 0)), label->size())).toImage();
        int contrast = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x)
                contrast = std::max(contrast, std::abs(QColor(picture.pixel(x, y)).lightness() -
                                                       background.lightness()));
        }
        QVERIFY2(contrast > 120, qPrintable(label->text()));
    }
    about->close();
    QApplication::setPalette(before);
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
