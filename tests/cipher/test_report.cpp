#include "cipher/report.h"

#include <QTest>

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void readsOnlyLinesAsZentilWritesThem();
};

// Any report reads back, a long note included. The lines come from a script that anyone may
// have changed: a number written otherwise than zentil writes it would be read as another
// number, or wrap round.
void TestReport::readsOnlyLinesAsZentilWritesThem() {
    const zentil::Report report{true, 5, 5, 10, 10, 1, std::string(300, 'n')};
    const std::string written = zentil::formatReport(report);
    const auto read = zentil::parseReport(written.substr(0, written.size() - 1));
    QCOMPARE(read.value_or(zentil::Report()).note, report.note);
    for (const char *line : {
             "working files 1/2 bytes 3/4 failed 00",
             "working files +1/2 bytes 3/4 failed 0",
             "working files -1/2 bytes 3/4 failed 0",
             "working files 1/2 bytes 3/18446744073709551616 failed 0",
             " working files 1/2 bytes 3/4 failed 0",
             "working files 1/2  bytes 3/4 failed 0",
             "working files 1/2 bytes 3/4 failed 0 note ",
         })
        QVERIFY2(!zentil::parseReport(line), line);
}

QTEST_GUILESS_MAIN(TestReport)
#include "test_report.moc"
