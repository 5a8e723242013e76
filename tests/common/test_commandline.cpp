#include "tests/support/testfolder.h"

#include <QProcess>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void answersHelpVersionAndUnknownOptions_data();
    void answersHelpVersionAndUnknownOptions();
};

void TestCommandLine::answersHelpVersionAndUnknownOptions_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");
    for (const QString program : {"Tarvolen", "Uninstall", "zentil"}) {
        // The main program's usage names its one option.
        const QString usage =
            "Usage: " + program + ' ' +
            (program == "Tarvolen" ? "[--help | --version | --add-to-menu]\n" : "");
        const auto row = [&](const char *option) -> QTestData & {
            return QTest::addRow("%s %s", qPrintable(program), option) << program << option;
        };
        row("--help") << 0 << usage << "";
        row("-h") << 0 << usage << "";
        row("--version") << 0 << program + " 3.00\n"
                         << "";
        row("--frobnicate") << 2 << "" << usage;
        row("extra") << 2 << "" << usage;
    }
}

// Each program prints what was asked for and ends at once: no window, no box, no file work.
void TestCommandLine::answersHelpVersionAndUnknownOptions() {
    QFETCH(QString, program);
    QFETCH(QString, option);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);
    // Settings of its own, should a program go on to its real work.
    TestFolder folder;
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + '/' + program, {option});
    const bool ended = process.waitForFinished(10000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    QVERIFY(ended);
    QCOMPARE(process.exitCode(), exitCode);
    const QString printed = QString::fromUtf8(process.readAllStandardOutput());
    const QString complained = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(output.isEmpty() ? printed.isEmpty() : printed.startsWith(output),
             qPrintable(printed));
    QVERIFY2(errors.isEmpty() ? complained.isEmpty() : complained.startsWith(errors),
             qPrintable(complained));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
