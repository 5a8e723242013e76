#include "locker/window/progress.h"
#include "tests/locker/lockerfixture.h"

#include <QAccessible>
#include <QLabel>
#include <QProgressBar>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

// Every text that the window hands to the accessibility bus: what its change notices carry and
// what its notifications say.
QStringList g_heard;

void listen(QAccessibleEvent *event) {
    if (event->type() == QAccessible::TextInserted)
        g_heard << static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
    else if (event->type() == QAccessible::TextRemoved)
        g_heard << static_cast<QAccessibleTextRemoveEvent *>(event)->textRemoved();
    else if (event->type() == QAccessible::TextUpdated)
        g_heard << static_cast<QAccessibleTextUpdateEvent *>(event)->textRemoved();
    else if (event->type() == QAccessible::ObjectShow &&
             event->accessibleInterface()->role() == QAccessible::Notification)
        g_heard << event->accessibleInterface()->text(QAccessible::Name);
}

} // namespace

class TestScreenReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler(listen);
    }
    void theRoadIsHeardAndThePasswordIsNot();
};

// A first password, the open locker, a change of it begun and abandoned, and a long lock.
void TestScreenReader::theRoadIsHeardAndThePasswordIsNot() {
    LockerFixture f;
    f.shipScript("dzentil.kqx", "decrypted");
    f.start();
    QAccessibleInterface *box = QAccessible::queryAccessibleInterface(f.window.Password);
    QCOMPARE(box->text(QAccessible::Name), "Set  new Password");
    QCOMPARE(box->text(QAccessible::Description), "Please read help if you are a new user.");
    for (int entry = 0; entry < 2; ++entry) {
        QTest::keyClicks(f.window.Password, "secret");
        QTest::keyClick(f.window.Password, Qt::Key_Backspace);
        QCOMPARE(box->text(QAccessible::Value), "*****");
        QTest::keyClick(f.window.Password, Qt::Key_Return);
    }
    QVERIFY(f.tickToTheEnd(D_Timer_Timer, *f.window.D_Label));
    QCOMPARE(f.window.focusWidget(), f.window.OpenLocker);
    f.window.ChangePassword->click();
    QCOMPARE(box->text(QAccessible::Description), "Click Back to Cancel");
    f.window.Cancel->click();
    for (qint64 done : {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100})
        f.window.Progress->showCounts({done, 100, done, 100});
    const QStringList said = {"Enter Again to Confirm", "Please Wait...",  "Locker open.",
                              "Locker open.",           "0 of 100 files",  "30 of 100 files",
                              "50 of 100 files",        "80 of 100 files", "100 of 100 files"};
    QStringList unmasked = g_heard.filter(QRegularExpression("[^*]"));
    QCOMPARE(unmasked, said);
    QCOMPARE(QAccessible::queryAccessibleInterface(&f.window)->role(), QAccessible::Window);
}

QTEST_MAIN(TestScreenReader)
#include "test_screenreader.moc"
