#include "locker/window/fonts.h"
#include "tests/locker/lockerfixture.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QLabel>
#include <QTest>

class TestFonts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void captionsKeepTheirFacesWithoutInstalledFonts_data();
    void captionsKeepTheirFacesWithoutInstalledFonts();
};

void TestFonts::initTestCase() {
    // The build tree lays out the program folder's fonts beside the test programs too.
    loadBundledFonts(QCoreApplication::applicationDirPath());
}

void TestFonts::captionsKeepTheirFacesWithoutInstalledFonts_data() {
    QTest::addColumn<bool>("open");
    QTest::newRow("password prompt") << false;
    QTest::newRow("open locker") << true;
}

// Every caption on the screen is drawn in one of the program's own faces, and fits its place.
void TestFonts::captionsKeepTheirFacesWithoutInstalledFonts() {
    QFETCH(bool, open);
    LockerFixture f;
    open ? f.openLocker() : f.start();
    const QStringList faces = {"TeX Gyre Pagella", "Comic Neue", "Liberation Serif"};
    for (QWidget *control : f.window.findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(control);
        const auto *button = qobject_cast<QPushButton *>(control);
        const QString caption = label ? label->text() : button ? button->text() : QString();
        if (!control->isVisible() || caption.isEmpty())
            continue;
        QVERIFY2(faces.contains(QFontInfo(control->font()).family()), qPrintable(caption));
        const int flags = label
                              ? int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0)
                              : Qt::AlignCenter;
        const QRect needed =
            control->fontMetrics().boundingRect(control->contentsRect(), flags, caption);
        QVERIFY2(needed.width() <= control->contentsRect().width(), qPrintable(caption));
        QVERIFY2(needed.height() <= control->contentsRect().height(), qPrintable(caption));
    }
}

QTEST_MAIN(TestFonts)
#include "test_fonts.moc"
