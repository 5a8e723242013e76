#include "tests/cipher/zentilfolder.h"

#include "cipher/report.h"
#include "common/makecode.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

namespace {

void putAll(const ZentilFolder &folder, const QMap<QString, QByteArray> &files) {
    for (auto it = files.begin(); it != files.end(); ++it)
        folder.put(it.key(), it.value());
}

// A few pieces of every file, none of which may be found anywhere in the locker.
bool anyPlaintextLeft(const QMap<QString, QByteArray> &originals,
                      const QMap<QString, QByteArray> &onDisk) {
    QByteArray everything;
    for (const QByteArray &bytes : onDisk)
        everything += bytes;
    for (const QByteArray &original : originals) {
        // Shorter pieces could turn up in random bytes by chance.
        const qsizetype piece = std::min<qsizetype>(original.size(), 24);
        if (piece < 6)
            continue;
        const qsizetype last = original.size() - piece;
        for (qsizetype at : {qsizetype(0), last / 2, last}) {
            if (everything.contains(original.mid(at, piece)))
                return true;
        }
    }
    return false;
}

// The reports of a run: every line one, the bytes never going back, the last one "done".
QList<zentil::Report> reports(const QByteArray &output) {
    QList<zentil::Report> all;
    for (const QByteArray &line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        const auto report = zentil::parseReport(line.toStdString());
        if (!report || (!all.isEmpty() && report->bytesDone < all.last().bytesDone))
            return {};
        all.append(*report);
    }
    return all.isEmpty() || !all.last().done ? QList<zentil::Report>{} : all;
}

} // namespace

class TestZentil : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsContentModeAndTime();
    void secondRunChangesNothing();
    void damagedFilesAreLeftAndNamed();
    void successfulDecryptRemovesAStaleNote();
    void neverFollowsASymbolicLink();
    void aLockerThatIsALinkIsWorkedThroughIt();
    void withoutAPasswordChangesNothing();
    void theScriptsWorkFromAnyFolderAndWithoutThemselves();
    void concurrentRunsTakeTurns();
};

void TestZentil::roundTripKeepsContentModeAndTime() {
    ZentilFolder folder;
    const QMap<QString, QByteArray> originals = awkwardTree();
    putAll(folder, originals);
    const QString readOnly = folder.locker("chunk");
    ::chmod(QFile::encodeName(readOnly).constData(), 0440);
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1'500'000'000);
    for (const QString &name : originals.keys()) {
        QFile file(folder.locker(name));
        file.open(QIODevice::ReadWrite);
        file.setFileTime(past, QFileDevice::FileModificationTime);
    }

    QCOMPARE(folder.run("encrypt"), 0);
    const auto reported = reports(folder.output);
    QVERIFY(!reported.isEmpty());
    QCOMPARE(reported.last().filesDone, qsizetype(originals.size()));
    QCOMPARE(reported.last().failed, 0u);
    const QMap<QString, QByteArray> encrypted = folder.contents();
    QCOMPARE(encrypted.keys(), originals.keys());
    QVERIFY(!anyPlaintextLeft(originals, encrypted));
    for (const QByteArray &bytes : encrypted)
        QVERIFY(bytes.startsWith("ZENTIL"));

    QCOMPARE(folder.run("decrypt"), 0);
    QCOMPARE(folder.contents(), originals);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(readOnly).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, 0440u);
    for (const QString &name : originals.keys())
        QCOMPARE(QFileInfo(folder.locker(name)).lastModified(), past);
    QVERIFY(folder.errorNote().isEmpty());
}

void TestZentil::secondRunChangesNothing() {
    ZentilFolder folder;
    putAll(folder, awkwardTree());
    QCOMPARE(folder.run("encrypt"), 0);
    const auto once = folder.contents();
    QCOMPARE(folder.run("encrypt"), 0);
    QCOMPARE(folder.contents(), once);
    QCOMPARE(folder.run("decrypt"), 0);
    const auto plain = folder.contents();
    QCOMPARE(folder.run("decrypt"), 0);
    QCOMPARE(folder.contents(), plain);
}

void TestZentil::damagedFilesAreLeftAndNamed() {
    ZentilFolder other("another password");
    other.put("foreign", "locked elsewhere");
    QCOMPARE(other.run("encrypt"), 0);

    ZentilFolder folder;
    const QByteArray good = randomBytes(100'000);
    for (const char *name : {"good", "flipped", "truncated", "appended"})
        folder.put(name, name == QByteArray("good") ? good : randomBytes(100'000));
    QCOMPARE(folder.run("encrypt"), 0);
    QByteArray flipped = folder.contents()["flipped"];
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 1);
    folder.put("flipped", flipped);
    folder.put("truncated", folder.contents()["truncated"].chopped(1000));
    folder.put("appended", folder.contents()["appended"] + "more");
    folder.put("foreign", other.contents()["foreign"]);
    const auto damaged = folder.contents();

    QCOMPARE(folder.run("decrypt"), 1);
    qsizetype bytes = 0;
    for (const QByteArray &file : damaged)
        bytes += file.size();
    QVERIFY(folder.output.endsWith(
        QStringLiteral("\ndone files 5/5 bytes %1/%1 failed 4\n").arg(bytes).toUtf8()));
    const auto after = folder.contents();
    QCOMPARE(after["good"], good);
    for (const char *name : {"flipped", "truncated", "appended", "foreign"}) {
        QCOMPARE(after[name], damaged[name]);
        QVERIFY2(folder.errorNote().contains(QStringLiteral("\n%1: ").arg(name)), name);
    }
    QVERIFY(!folder.errorNote().contains("good"));
}

void TestZentil::successfulDecryptRemovesAStaleNote() {
    ZentilFolder folder;
    folder.put("zentil-errors.txt", "from an earlier run");
    folder.put("a", "a");
    QCOMPARE(folder.run("encrypt"), 0);
    // The note itself is never encrypted.
    QCOMPARE(folder.errorNote(), "from an earlier run");
    QCOMPARE(folder.run("decrypt"), 0);
    QVERIFY(!QFile::exists(folder.locker("zentil-errors.txt")));
}

void TestZentil::neverFollowsASymbolicLink() {
    ZentilFolder folder;
    folder.writeFile("outside.txt", "outside the locker");
    QFile::link(folder.path("outside.txt"), folder.locker("link"));
    QDir().mkpath(folder.path("outside-dir"));
    folder.writeFile("outside-dir/x", "x");
    QFile::link(folder.path("outside-dir"), folder.locker("linked-dir"));
    QCOMPARE(folder.run("encrypt"), 0);
    QCOMPARE(folder.readFile("outside.txt"), "outside the locker");
    QCOMPARE(folder.readFile("outside-dir/x"), "x");
    QVERIFY(QFileInfo(folder.locker("link")).isSymLink());
}

// The link is the user's own (a locker kept on another disk); links inside it still are not
// followed.
void TestZentil::aLockerThatIsALinkIsWorkedThroughIt() {
    ZentilFolder folder;
    QDir().rmdir(folder.locker());
    folder.writeFile("elsewhere/a", "in the locker");
    folder.writeFile("outside.txt", "outside the locker");
    QFile::link(folder.path("elsewhere"), folder.locker());
    QFile::link(folder.path("outside.txt"), folder.path("elsewhere/out"));
    QCOMPARE(folder.run("encrypt"), 0);
    QVERIFY(folder.readFile("elsewhere/a").startsWith("ZENTIL"));
    QCOMPARE(folder.run("decrypt"), 0);
    QCOMPARE(folder.readFile("elsewhere/a"), "in the locker");
    QCOMPARE(folder.readFile("outside.txt"), "outside the locker");
    QVERIFY(QFileInfo(folder.path("elsewhere/out")).isSymLink());
}

void TestZentil::withoutAPasswordChangesNothing() {
    ZentilFolder folder;
    folder.setSetting("Psetting", "");
    folder.put("a", "plain");
    QVERIFY(folder.run("encrypt") != 0);
    QCOMPARE(folder.contents()["a"], "plain");
}

void TestZentil::theScriptsWorkFromAnyFolderAndWithoutThemselves() {
    ZentilFolder folder;
    const QString built = QCoreApplication::applicationDirPath();
    QFile::copy(built + "/ezentil.kqx", folder.path("e.bat"));
    folder.put("a", randomBytes(5000));
    const auto plain = folder.contents();
    QProcess script;
    script.setWorkingDirectory(folder.root());
    script.start("/bin/sh", {folder.path("e.bat")});
    QVERIFY(script.waitForStarted());
    // Deleted a second after its start, as the program deletes it.
    QTest::qWait(1000);
    QFile::remove(folder.path("e.bat"));
    QTRY_COMPARE_WITH_TIMEOUT(script.state(), QProcess::NotRunning, 60000);
    QCOMPARE(script.exitCode(), 0);
    QVERIFY(folder.contents()["a"].startsWith("ZENTIL"));

    QVERIFY(QFile::copy(built + "/dzentil.kqx", folder.path("d.bat")));
    QProcess relative;
    relative.setWorkingDirectory(folder.root());
    relative.start("/bin/sh", {"Tarvolen/d.bat"});
    QVERIFY(relative.waitForFinished(60000));
    QCOMPARE(relative.exitCode(), 0);
    QCOMPARE(folder.contents(), plain);
}

void TestZentil::concurrentRunsTakeTurns() {
    ZentilFolder folder;
    QMap<QString, QByteArray> originals;
    for (int i = 0; i < 200; ++i)
        originals.insert(QStringLiteral("f%1").arg(i), randomBytes(20'000));
    putAll(folder, originals);
    std::unique_ptr<QProcess> encrypt(folder.start("encrypt"));
    // Once the encrypt is at work, a decrypt must wait for it and then undo it all.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const auto now = folder.contents();
            return std::any_of(now.begin(), now.end(),
                               [](const QByteArray &b) { return b.startsWith("ZENTIL"); });
        }(),
        60000);
    std::unique_ptr<QProcess> decrypt(folder.start("decrypt"));
    QVERIFY(encrypt->waitForFinished(60000));
    QVERIFY(decrypt->waitForFinished(60000));
    QCOMPARE(encrypt->exitCode(), 0);
    QCOMPARE(decrypt->exitCode(), 0);
    QCOMPARE(folder.contents(), originals);
}

QTEST_GUILESS_MAIN(TestZentil)
#include "test_zentil.moc"
