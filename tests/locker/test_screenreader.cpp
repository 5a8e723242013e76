#include "locker/window/progress.h"
#include "tests/locker/lockerfixture.h"
#include <QAccessible>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
static QStringList g_heard; // what the notices carry, the masks aside
static void listen(QAccessibleEvent *event) {
    QString text;
    if (event->type() == QAccessible::TextInserted)
        text = static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
    if (event->type() == QAccessible::ObjectShow &&
        event->accessibleInterface()->role() == QAccessible::Notification)
        text = event->accessibleInterface()->text(QAccessible::Name);
    if (text.contains(QRegularExpression("[^*]")))
        g_heard << text;
}
class TestScreenReader : public QObject {
    Q_OBJECT
private slots:
    void theRoadIsHeardAndThePasswordIsNot() {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler(listen);
        LockerFixture f;
        f.shipScript("dzentil.kqx", "decrypted");
        f.start();
        for (const char *key : {"secret\b\r", "secret\b\r"})
            QTest::keyClicks(f.window.Password, key);
        QVERIFY(f.tickToTheEnd(D_Timer_Timer, *f.window.D_Label));
        f.window.ChangePassword->click();
        f.window.Cancel->click();
        for (qint64 done : {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100})
            f.window.Progress->showCounts({done, 100, done, 100});
        QCOMPARE(g_heard, QStringList({"Enter Again to Confirm", "Please Wait...", "Locker open.",
                                       "Locker open.", "0 of 100 files", "30 of 100 files",
                                       "50 of 100 files", "80 of 100 files", "100 of 100 files"}));
    }
};
QTEST_MAIN(TestScreenReader)
#include "test_screenreader.moc"
