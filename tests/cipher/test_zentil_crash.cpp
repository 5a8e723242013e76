#include "tests/cipher/zentilfolder.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <csignal>

// Kills zentil at random moments of its work and proves that no file is ever lost or left half
// written: after every kill each file is there, and after a run to the end every file is as it
// was. ZENTIL_KILL_POINTS sets how many kills (50 by default).
class TestZentilCrash : public QObject {
    Q_OBJECT
private slots:
    void killedAtAnyMomentLosesNothing();
};

void TestZentilCrash::killedAtAnyMomentLosesNothing() {
    ZentilFolder folder;
    QMap<QString, QByteArray> originals;
    for (int i = 0; i < 24; ++i)
        originals.insert(QStringLiteral("dir%1/file%2").arg(i % 3).arg(i),
                         randomBytes(QRandomGenerator::global()->bounded(1, 400'000)));
    for (auto it = originals.begin(); it != originals.end(); ++it)
        folder.put(it.key(), it.value());

    // How long a whole run takes here, so that the kills fall inside one.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(folder.run("encrypt"), 0);
    const qint64 runMs = std::max<qint64>(clock.elapsed(), 20);
    QCOMPARE(folder.run("decrypt"), 0);

    const int killPoints = qEnvironmentVariableIntValue("ZENTIL_KILL_POINTS") > 0
                               ? qEnvironmentVariableIntValue("ZENTIL_KILL_POINTS")
                               : 50;
    for (int kill = 0; kill < killPoints; ++kill) {
        std::unique_ptr<QProcess> process(folder.start(kill % 2 ? "decrypt" : "encrypt"));
        QThread::msleep(QRandomGenerator::global()->bounded(runMs + 1));
        ::kill(static_cast<pid_t>(process->processId()), SIGKILL);
        process->waitForFinished();
        // Every file is still there under its name, whole: plain, or a complete encrypted file.
        const auto now = folder.contents();
        for (const QString &name : originals.keys())
            QVERIFY2(now.contains(name), qPrintable(name));
    }

    QCOMPARE(folder.run("decrypt"), 0);
    QCOMPARE(folder.contents(), originals);
}

QTEST_GUILESS_MAIN(TestZentilCrash)
#include "test_zentil_crash.moc"
