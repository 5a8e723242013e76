#include "common/codepage.h"
#include "common/makecode.h"

#include <QTest>

class TestMakeCode : public QObject {
    Q_OBJECT
private slots:
    void encodes_data();
    void encodes();
    void foldsOnlyTheCapitalsAToZ();
    void usesTheWindows1252Table();
};

void TestMakeCode::encodes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("code");
    QTest::newRow("empty text gives empty code, not a lone l") << ""
                                                               << "";
    QTest::newRow("Ab1") << "Ab1"
                         << "l97l98l49";
    QTest::newRow("ab1") << "ab1"
                         << "l97l98l49";
    QTest::newRow("a drive path") << "C:\\x"
                                  << "l99l58l92l120";
    QTest::newRow("folder C:\\Apps") << "C:\\Apps"
                                     << "l99l58l92l97l112l112l115";
    QTest::newRow("the same folder in lower case") << "c:\\apps"
                                                   << "l99l58l92l97l112l112l115";
    QTest::newRow("a digit") << "5"
                             << "l53";
    QTest::newRow("blanks are characters") << " a "
                                           << "l32l97l32";
}

void TestMakeCode::encodes() {
    QFETCH(QString, text);
    QFETCH(QString, code);
    QCOMPARE(MakeCode(text), code);
}

void TestMakeCode::foldsOnlyTheCapitalsAToZ() {
    QCOMPARE(MakeCode("@"), "l64");
    QCOMPARE(MakeCode("A"), "l97");
    QCOMPARE(MakeCode("Z"), "l122");
    QCOMPARE(MakeCode("["), "l91");
    // Accented capitals keep their own code: É is 201, é is 233.
    QCOMPARE(MakeCode(QStringLiteral("\u00C9")), "l201");
    QCOMPARE(MakeCode(QStringLiteral("\u00E9")), "l233");
}

void TestMakeCode::usesTheWindows1252Table() {
    QCOMPARE(MakeCode(QStringLiteral("\u20AC")), "l128"); // euro sign
    QCOMPARE(MakeCode(QStringLiteral("\u0178")), "l159"); // Y with diaeresis
    QCOMPARE(MakeCode(QStringLiteral("\u00FF")), "l255");
    // Outside the code page: "?" once per character, a character beyond the BMP included.
    QCOMPARE(MakeCode(QStringLiteral("\u0416")), "l63");
    QCOMPARE(MakeCode(QStringLiteral("a\U0001F600b")), "l97l63l98");
    QCOMPARE(windows1252Code(0x0080), -1);
    QCOMPARE(windows1252Code(0x0081), 0x81);
}

QTEST_GUILESS_MAIN(TestMakeCode)
#include "test_makecode.moc"
