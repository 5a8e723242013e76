#include "tests/cipher/zentilfolder.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <csignal>

// Kills zentil at random moments of its work and proves that no file is ever lost or left half
// written: after every kill each file is whole, either as it was or completely encrypted, and
// after a run to the end every file is as it was. ZENTIL_KILL_POINTS sets how many kills (50 by
// default); the test prints the seed of its random choices, and ZENTIL_CRASH_SEED repeats them.
class TestZentilCrash : public QObject {
    Q_OBJECT
private slots:
    void killedAtAnyMomentLosesNothing();
};

namespace {

// The size of the encrypted file of plain bytes (docs/format.md): a header of 64 bytes, then the
// data in sealed chunks of up to 65,536 bytes, at least one, each 17 bytes longer.
qsizetype encryptedSize(qsizetype plain) {
    const qsizetype chunks = std::max<qsizetype>(1, (plain + 65535) / 65536);
    return 64 + plain + 17 * chunks;
}

bool whole(const QByteArray &now, const QByteArray &original) {
    return now == original ||
           (now.startsWith("ZENTIL") && now.size() == encryptedSize(original.size()));
}

quint32 seed() {
    bool given = false;
    const quint32 seed = qEnvironmentVariable("ZENTIL_CRASH_SEED").toUInt(&given);
    return given ? seed : QRandomGenerator::system()->generate();
}

} // namespace

void TestZentilCrash::killedAtAnyMomentLosesNothing() {
    const quint32 runSeed = seed();
    qInfo("ZENTIL_CRASH_SEED=%u", runSeed);
    QRandomGenerator random(runSeed);
    ZentilFolder folder;
    QMap<QString, QByteArray> originals;
    for (int i = 0; i < 24; ++i)
        originals.insert(QStringLiteral("dir%1/file%2").arg(i % 3).arg(i),
                         randomBytes(random.bounded(1, 400'000), random));
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
        QThread::msleep(random.bounded(runMs + 1));
        ::kill(static_cast<pid_t>(process->processId()), SIGKILL);
        process->waitForFinished();
        const auto now = folder.contents();
        for (auto it = originals.begin(); it != originals.end(); ++it)
            QVERIFY2(whole(now.value(it.key()), it.value()),
                     qPrintable(QStringLiteral("%1 after kill %2").arg(it.key()).arg(kill + 1)));
    }

    QCOMPARE(folder.run("decrypt"), 0);
    QCOMPARE(folder.contents(), originals);
}

QTEST_GUILESS_MAIN(TestZentilCrash)
#include "test_zentil_crash.moc"
