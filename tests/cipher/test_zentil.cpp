#include "tests/cipher/zentilfolder.h"

#include "cipher/report.h"
#include "common/fd.h"
#include "common/makecode.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>

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

// Whether the process holds an flock on the file, or, waiting, waits for one. /proc/locks has a
// line for each: "1: FLOCK  ADVISORY  WRITE <pid> <device>:<inode> 0 EOF", "->" before FLOCK in
// a waiter's.
bool flockOf(qint64 pid, const QString &file, bool waiting) {
    struct stat info {};
    QFile locks("/proc/locks");
    if (::stat(QFile::encodeName(file).constData(), &info) != 0 || !locks.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        const qsizetype at = parts.value(1) == "->" ? 2 : 1;
        if ((at == 2) == waiting && parts.value(at) == "FLOCK" &&
            parts.value(at + 3).toLongLong() == pid &&
            parts.value(at + 4).split(':').value(2).toULongLong() == info.st_ino)
            return true;
    }
    return false;
}

bool isStopped(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray stat = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return stat.mid(stat.lastIndexOf(')') + 1).startsWith(" T");
}

} // namespace

class TestZentil : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsContentModeAndTime();
    void secondRunChangesNothing();
    void damagedFilesAreLeftAndNamed();
    void changedHeadersAreRefusedNotTakenForPlainFiles();
    void whatOthersPutInTheLockerNeverMisleadsARun();
    void everyUnlockTellsTheTruthWhateverTheLockersHistory();
    void successfulDecryptRemovesAStaleNote();
    void theRecordSaysWhatTheRunLeft_data();
    void theRecordSaysWhatTheRunLeft();
    void userFilesWithOurNamesAreKept();
    void neverFollowsASymbolicLink();
    void aLockerThatIsALinkIsWorkedThroughIt();
    void withoutAPasswordChangesNothing();
    void theScriptsWorkFromAnyFolderAndWithoutThemselves();
    void concurrentRunsTakeTurns();
    void filesInUseAreLeftAndNamed();
    void unlistableFoldersAreNamed();
    void aFileSwappedForAFifoIsPassedBy();
    void treesDeeperThanTheOpenFilesLimit();
    void itsMemoryIsNeverDumped();
    void attributesOwnersAndHolesAreKept();
    void hardLinkedFilesAreLeftAndNamed();
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
        QStringLiteral("\ndone files 5/5 bytes %1/%1 failed 4 note zentil-errors.txt\n")
            .arg(bytes)
            .toUtf8()));
    const auto after = folder.contents();
    QCOMPARE(after["good"], good);
    for (const char *name : {"flipped", "truncated", "appended", "foreign"}) {
        QCOMPARE(after[name], damaged[name]);
        QVERIFY2(folder.errorNote().contains(QStringLiteral("\n%1: ").arg(name)), name);
    }
    QVERIFY(!folder.errorNote().contains("good"));
}

void TestZentil::theRecordSaysWhatTheRunLeft_data() {
    QTest::addColumn<QString>("mode");
    // "plain", "locked" here, "foreign" (another password), "damaged" after its last chunk,
    // "killed": locked, the run killed at its first write of plain data; none
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("encrypted") << "encrypt"
                               << "plain"
                               << "0"
                               << "1";
    QTest::newRow("empty locker") << "encrypt"
                                  << ""
                                  << "0"
                                  << "0";
    QTest::newRow("decrypted") << "decrypt"
                               << "locked"
                               << "1"
                               << "0";
    QTest::newRow("nothing decrypted") << "decrypt"
                                       << "foreign"
                                       << "1"
                                       << "1";
    QTest::newRow("damaged") << "decrypt"
                             << "damaged"
                             << "1"
                             << "1";
    QTest::newRow("killed") << "decrypt"
                            << "killed"
                            << "1"
                            << "0";
}

// A run keeps the record true with nobody to follow it: the program that started it may be gone.
void TestZentil::theRecordSaysWhatTheRunLeft() {
    QFETCH(QString, mode);
    QFETCH(QString, file);
    QFETCH(QString, before);
    QFETCH(QString, after);
    ZentilFolder folder;
    QDir().mkpath(folder.locker());
    if (file == "foreign") {
        ZentilFolder other("another password");
        other.put("file", "locked elsewhere");
        QCOMPARE(other.run("encrypt"), 0);
        folder.put("file", other.contents()["file"]);
    } else if (!file.isEmpty()) {
        folder.put("file", "plain");
        if (file != "plain")
            QCOMPARE(folder.run("encrypt"), 0);
        if (file == "damaged")
            folder.put("file", folder.contents()["file"] + "x");
    }
    QProcessEnvironment killed = preloaded(FAULT_SHIM);
    killed.insert("FAULT_CALL", "write");
    killed.insert("FAULT_AT", "1");
    killed.insert("FAULT_SIGNAL", QString::number(SIGKILL));
    folder.setSetting("Files", before);
    folder.run(mode, file == "killed" ? killed : QProcessEnvironment());
    QCOMPARE(folder.setting("Files"), after);
}

// Files that only look locked, files planted to slow an unlock, a locked file given set-user-id
// and a Locker swapped for a link mid-run: after a lock nothing the user left is readable, after
// an unlock everything is back as the user left it, with no special bits, and the note names
// only the planted files, in the folder that was unlocked.
void TestZentil::whatOthersPutInTheLockerNeverMisleadsARun() {
    QByteArray foreign;
    {
        ZentilFolder other("another password");
        other.put("foreign", "locked under another password");
        QCOMPARE(other.run("encrypt"), 0);
        foreign = other.contents()["foreign"];
    }
    ZentilFolder folder;
    folder.put("plain", "a plain file");
    QCOMPARE(folder.run("encrypt"), 0);
    const QByteArray header = folder.contents()["plain"].left(64);
    const QMap<QString, QByteArray> left = {
        {"looks-v1", QByteArray("ZENTIL\x01\x00", 8) + "readable text one"},
        {"looks-v2", QByteArray("ZENTIL\x02\x00", 8) + "readable text two"},
        {"our-header", header + "readable text after a header of ours"},
        {"other-password", foreign},
        {"plain", "readable text of a plain file"},
    };
    putAll(folder, left);
    QCOMPARE(folder.run("encrypt"), 0);
    for (const QByteArray &bytes : folder.contents())
        QVERIFY(!bytes.contains("readable text"));

    const QString planted = QStringLiteral("0planted-%1");
    for (int i = 0; i < 6; ++i) // each with a salt of its own, listed first
        folder.put(planted.arg(i), header.left(24) + randomBytes(57));
    ::chmod(QFile::encodeName(folder.locker("plain")).constData(), 06777);
    const QString elsewhere = folder.path("Elsewhere"), unlocked = folder.path("Unlocked");
    QDir().mkpath(elsewhere);
    const Fd held(::open(QFile::encodeName(folder.locker()).constData(), O_RDONLY | O_DIRECTORY));
    ::flock(held.get(), LOCK_EX);
    std::unique_ptr<QProcess> decrypt(folder.start("decrypt"));
    QTRY_VERIFY_WITH_TIMEOUT(flockOf(decrypt->processId(), folder.locker(), true), 60000);
    QVERIFY(QFile::rename(folder.locker(), unlocked) && QFile::link(elsewhere, folder.locker()));
    ::flock(held.get(), LOCK_UN);
    QVERIFY(decrypt->waitForFinished(60000));
    QCOMPARE(decrypt->exitCode(), 1);
    QVERIFY(QDir(elsewhere).isEmpty());
    QVERIFY(QFile::remove(folder.locker()) && QFile::rename(unlocked, folder.locker()));

    QMap<QString, QByteArray> after = folder.contents();
    const QString note = folder.errorNote();
    for (int i = 0; i < 6; ++i)
        QVERIFY(note.contains(QStringLiteral("\n%1: ").arg(planted.arg(i))) &&
                after.remove(planted.arg(i)));
    // Four keys a run: the locker's, and three of the planted files' salts.
    QCOMPARE(note.count(": not tried:"), 3);
    after.remove("zentil-errors.txt");
    QCOMPARE(after, left);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(folder.locker("plain")).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, 0777u);
}

// Lockers with a history: files locked by runs of their own (some large, so that each fills a
// batch), under a password since changed, or planted, at the top of the locker before the
// files of one run. After every lock nothing is readable; after every unlock each file that opens
// under the current password is back, every other file is named and the run fails, and a run
// reported as a success leaves no file of ours.
void TestZentil::everyUnlockTellsTheTruthWhateverTheLockersHistory() {
    struct File {
        QString name;
        QString lockedBy; // "password/run" (one run locks all its files), "planted", or ""
        qint64 size = 0;  // made sparse to this size
    };
    const auto files = [](const QString &name, int count, const QString &lockedBy, qint64 size) {
        QList<File> list;
        for (int i = 0; i < count; ++i)
            list.append({name.arg(i), lockedBy.contains('%') ? lockedBy.arg(i) : lockedBy, size});
        return list;
    };
    // Four files of a quarter of 64 MiB on the disk fill a batch: as planted, or once encrypted
    // (a header of 64 bytes, and 17 for each of 256 chunks).
    const qint64 quarter = 16 << 20, big = quarter - 64 - 17 * 256;
    const QList<File> letters = files("letters/%1", 20, "secret/letters", 0);
    const struct {
        const char *name;
        QList<File> files;
        QStringList steps;
    } rows[] = {
        {"five runs", files("%1", 5, "secret/%1", 0), {"unlock", "lock", "unlock"}},
        {"another password, then set again",
         files("a%1", 1, "", 0) + files("f%1", 1, "other/%1", 0),
         {"lock", "unlock", "password other", "lock", "unlock"}},
        {"large files of older runs first", files("%1", 4, "secret/%1", big) + letters, {"unlock"}},
        {"planted files first",
         files("%1", 4, "planted", quarter) + letters,
         {"unlock", "lock", "unlock"}},
    };
    for (const auto &row : rows) {
        ZentilFolder folder;
        QString password = "secret";
        QMap<QString, QByteArray> plain;
        QMap<QString, QByteArray> locked;
        // One run at a time: each program folder has the settings of its own while it lives.
        for (const File &first : row.files) {
            if (locked.contains(first.name))
                continue;
            ZentilFolder run(first.lockedBy.section('/', 0, 0));
            for (const File &file : row.files) {
                if (file.lockedBy != first.lockedBy)
                    continue;
                run.put(file.name, file.name.toUtf8() + randomBytes(100));
                if (file.size > 0 && first.lockedBy != "planted")
                    ::truncate(QFile::encodeName(run.locker(file.name)).constData(), file.size);
                plain[file.name] = run.contents()[file.name];
            }
            QVERIFY(first.lockedBy.isEmpty() || run.run("encrypt") == 0);
            locked.insert(run.contents());
        }
        for (const File &file : row.files) {
            const bool planted = file.lockedBy == "planted";
            folder.put(file.name,
                       planted ? locked[file.name].left(24) + randomBytes(40) : locked[file.name]);
            if (planted && file.size > 0)
                ::truncate(QFile::encodeName(folder.locker(file.name)).constData(), file.size);
        }
        for (const QString &step : row.steps) {
            if (step.startsWith("password ")) {
                folder.setSetting("Psetting", MakeCode(password = step.mid(9)));
                continue;
            }
            const int exit = folder.run(step == "lock" ? "encrypt" : "decrypt");
            const auto now = folder.contents();
            const QString note = folder.errorNote(), where = row.name + (" " + step);
            if (step == "lock") {
                QVERIFY2(exit == 0 && !anyPlaintextLeft(plain, now), qPrintable(where));
                continue;
            }
            QVERIFY2((exit == 0) == note.isEmpty(), qPrintable(where));
            for (const File &file : row.files) {
                const QString lockedBy = file.lockedBy.section('/', 0, 0),
                              at = where + ": " + file.name;
                const bool opens = lockedBy.isEmpty() || lockedBy == password;
                const bool named = note.contains("\n" + file.name + ": ");
                QVERIFY2(exit != 0 || !now[file.name].startsWith("ZENTIL"), qPrintable(at));
                QVERIFY2(opens ? now[file.name] == plain[file.name] && !named : named,
                         qPrintable(at));
            }
        }
    }
}

// A file that starts as ours but with a header that zentil does not write (a changed reserved
// byte, a version of a newer zentil) is refused on decrypt, never passed by as a plain file.
// Encrypt locks it like any other file, and decrypt gives it back as it was.
void TestZentil::changedHeadersAreRefusedNotTakenForPlainFiles() {
    const QString changed = QStringLiteral("a header that zentil never writes");
    const QString newer = QStringLiteral("made by a newer version of zentil");
    const struct {
        const char *name;
        int at;
        char value;
        QString reason;
    } cases[] = {
        {"reserved-low", 7, 0x01, changed},    {"reserved-high", 7, char(0x80), changed},
        {"version-0", 6, 0x00, changed},       {"version-3", 6, 0x03, newer},
        {"version-255", 6, char(0xff), newer},
    };
    ZentilFolder folder;
    for (const auto &c : cases)
        folder.put(c.name, c.name);
    QCOMPARE(folder.run("encrypt"), 0);
    for (const auto &c : cases) {
        QByteArray bytes = folder.contents()[c.name];
        bytes[c.at] = c.at == 7 ? char(bytes[c.at] ^ c.value) : c.value;
        folder.put(c.name, bytes);
    }
    const auto before = folder.contents();
    QCOMPARE(folder.run("decrypt"), 1);
    for (const auto &c : cases) {
        QCOMPARE(folder.contents()[c.name], before[c.name]);
        QVERIFY2(folder.errorNote().contains(QStringLiteral("\n%1: %2\n").arg(c.name, c.reason)),
                 c.name);
    }
    QCOMPARE(folder.run("encrypt"), 0);
    QCOMPARE(folder.run("decrypt"), 0);
    QCOMPARE(folder.contents(), before);
}

void TestZentil::successfulDecryptRemovesAStaleNote() {
    ZentilFolder other("another password");
    other.put("foreign", "locked elsewhere");
    QCOMPARE(other.run("encrypt"), 0);
    ZentilFolder folder;
    folder.put("foreign", other.contents()["foreign"]);
    QCOMPARE(folder.run("decrypt"), 1);
    QVERIFY(folder.errorNote().contains("\nforeign: "));
    QVERIFY(QFile::remove(folder.locker("foreign")));
    QCOMPARE(folder.run("decrypt"), 0);
    QVERIFY(folder.contents().isEmpty());
}

// Files that merely bear the names zentil uses for its note and its temporary files are the
// user's: locked and unlocked like any other, never overwritten or removed.
void TestZentil::userFilesWithOurNamesAreKept() {
    ZentilFolder other("another password");
    other.put("foreign", "locked elsewhere");
    QCOMPARE(other.run("encrypt"), 0);
    const QMap<QString, QByteArray> mine = {
        {"zentil-errors.txt", "my own notes"},
        {".~zentil-abc123", "a file of mine"},
        {"deep/er/.~zentil-xyz789", "another of mine"},
    };
    ZentilFolder folder;
    putAll(folder, mine);
    QCOMPARE(folder.run("encrypt"), 0);
    for (const QString &name : mine.keys())
        QVERIFY2(folder.contents()[name].startsWith("ZENTIL"), qPrintable(name));
    folder.put("foreign", other.contents()["foreign"]);
    for (int expected : {1, 0}) {
        QCOMPARE(folder.run("decrypt"), expected);
        QCOMPARE(folder.errorNote().contains("\nforeign: "), expected == 1);
        QCOMPARE(folder.output.endsWith(" note zentil-errors-2.txt\n"), expected == 1);
        auto now = folder.contents();
        for (const QString &name : mine.keys())
            QCOMPARE(now[name], mine[name]);
        QFile::remove(folder.locker("foreign"));
    }
    QCOMPARE(folder.contents(), mine);
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

// A decrypt started while an encrypt holds the locker waits for it, then undoes it all. The
// encrypt is stopped while it holds the locker, so that it cannot end before the decrypt begins.
void TestZentil::concurrentRunsTakeTurns() {
    ZentilFolder folder;
    QMap<QString, QByteArray> originals;
    for (int i = 0; i < 200; ++i)
        originals.insert(QStringLiteral("f%1").arg(i), randomBytes(20'000));
    putAll(folder, originals);
    std::unique_ptr<QProcess> encrypt(folder.start("encrypt"));
    const qint64 first = encrypt->processId();
    // Looked for often: deriving the key alone keeps the locker held for a while, no longer.
    QElapsedTimer clock;
    clock.start();
    while (!flockOf(first, folder.locker(), false) && clock.elapsed() < 60000)
        QThread::usleep(200);
    ::kill(static_cast<pid_t>(first), SIGSTOP);
    QTRY_VERIFY_WITH_TIMEOUT(isStopped(first), 60000);
    QVERIFY(flockOf(first, folder.locker(), false));
    std::unique_ptr<QProcess> decrypt(folder.start("decrypt"));
    QTRY_VERIFY_WITH_TIMEOUT(flockOf(decrypt->processId(), folder.locker(), true), 60000);
    ::kill(static_cast<pid_t>(first), SIGCONT);
    QVERIFY(encrypt->waitForFinished(60000));
    QVERIFY(decrypt->waitForFinished(60000));
    QCOMPARE(encrypt->exitCode(), 0);
    QCOMPARE(decrypt->exitCode(), 0);
    QCOMPARE(folder.contents(), originals);
}

// A file that another process writes to while zentil works keeps every write and is named.
void TestZentil::filesInUseAreLeftAndNamed() {
    const QByteArray big = randomBytes(64 << 20);
    struct Case {
        const char *name;
        bool openBefore; // held open for writing through the whole run, else opened mid-run
    } cases[] = {{"held open", true}, {"opened while read", false}};
    for (const Case &c : cases) {
        ZentilFolder folder;
        folder.put("log", big);
        QFile writer(folder.locker("log"));
        if (c.openBefore)
            QVERIFY(writer.open(QIODevice::Append));
        std::unique_ptr<QProcess> run(folder.start("encrypt"));
        if (!c.openBefore) {
            // Once the temporary file is there, zentil is reading the file.
            QTRY_VERIFY_WITH_TIMEOUT(!QDir(folder.locker())
                                          .entryList({".~zentil-*"}, QDir::Files | QDir::Hidden)
                                          .isEmpty(),
                                     60000);
            QVERIFY(writer.open(QIODevice::Append));
        }
        writer.write("one more line\n");
        writer.flush();
        QVERIFY(run->waitForFinished(60000));
        writer.close();
        QCOMPARE(run->exitCode(), 1);
        QVERIFY2(folder.contents()["log"] == big + "one more line\n", c.name);
        QVERIFY2(folder.errorNote().contains("\nlog: in use"), c.name);
    }
}

void TestZentil::unlistableFoldersAreNamed() {
    for (const mode_t mode : {0000, 0300, 0600}) {
        ZentilFolder folder;
        folder.put("closed/inside", "plain");
        const QByteArray closed = QFile::encodeName(folder.locker("closed"));
        ::chmod(closed.constData(), mode);
        QCOMPARE(folder.run("encrypt"), 1);
        ::chmod(closed.constData(), 0700);
        QCOMPARE(folder.contents()["closed/inside"], "plain");
        QVERIFY2(folder.errorNote().contains("\nclosed"), qPrintable(QString::number(mode, 8)));
    }
}

void TestZentil::aFileSwappedForAFifoIsPassedBy() {
    ZentilFolder folder;
    // Files of a subfolder come after those at the top: more of them than zentil works on at
    // once keep it busy meanwhile.
    for (int i = 0; i < 24; ++i)
        folder.put(QStringLiteral("big%1").arg(i), randomBytes(4 << 20));
    folder.put("sub/swapped", "plain");
    std::unique_ptr<QProcess> run(folder.start("encrypt"));
    QTRY_VERIFY_WITH_TIMEOUT(
        !QDir(folder.locker()).entryList({".~zentil-*"}, QDir::Files | QDir::Hidden).isEmpty(),
        60000);
    const QByteArray swapped = QFile::encodeName(folder.locker("sub/swapped"));
    QCOMPARE(::unlink(swapped.constData()), 0);
    QCOMPARE(::mkfifo(swapped.constData(), 0600), 0);
    QVERIFY(run->waitForFinished(20000));
    QCOMPARE(run->exitCode(), 0);
}

void TestZentil::treesDeeperThanTheOpenFilesLimit() {
    ZentilFolder folder;
    folder.limitOpenFiles(32);
    const QString deep = QString("d/").repeated(60) + "deep.txt";
    folder.put(deep, "plain");
    QCOMPARE(folder.run("encrypt"), 0);
    QVERIFY(folder.contents()[deep].startsWith("ZENTIL"));
    QCOMPARE(folder.run("decrypt"), 0);
    QCOMPARE(folder.contents()[deep], "plain");
}

// A crash leaves no image of zentil's memory, which holds the password, on the disk.
void TestZentil::itsMemoryIsNeverDumped() {
    ZentilFolder folder;
    folder.put("a", "plain");
    // Holding the locker makes zentil wait, with the password read.
    const int locker = ::open(QFile::encodeName(folder.locker()).constData(), O_RDONLY | O_CLOEXEC);
    QCOMPARE(::flock(locker, LOCK_EX), 0);
    std::unique_ptr<QProcess> run(folder.start("encrypt"));
    QTest::qWait(1000);
    const rlimit unlimited = {RLIM_INFINITY, RLIM_INFINITY};
    QCOMPARE(::prlimit(static_cast<pid_t>(run->processId()), RLIMIT_CORE, &unlimited, nullptr), 0);
    ::kill(static_cast<pid_t>(run->processId()), SIGABRT);
    QVERIFY(run->waitForFinished(60000));
    ::close(locker);
    QVERIFY(QDir(folder.root()).entryList({"core*"}).isEmpty());
}

namespace {

QByteArray attribute(const QString &file, const char *name) {
    QByteArray value(256, '\0');
    const ssize_t size =
        ::getxattr(QFile::encodeName(file).constData(), name, value.data(), value.size());
    return size < 0 ? QByteArray() : value.left(size);
}

struct stat statOf(const QString &file) {
    struct stat info {};
    ::stat(QFile::encodeName(file).constData(), &info);
    return info;
}

} // namespace

void TestZentil::attributesOwnersAndHolesAreKept() {
    ZentilFolder folder;
    // An access list granting user 1234 reading, in the kernel's form.
    const QByteArray acl = QByteArray::fromHex("02000000"
                                               "01000600ffffffff"
                                               "02000400d2040000"
                                               "04000400ffffffff"
                                               "10000400ffffffff"
                                               "20000000ffffffff");
    struct Case {
        const char *name;
        std::function<void(const QByteArray &path)> set;
        std::function<bool(const QString &file)> kept;
    } cases[] = {
        {"attributes",
         [&](const QByteArray &path) {
             ::setxattr(path, "user.colour", "blue", 4, 0);
             ::setxattr(path, "system.posix_acl_access", acl.constData(), acl.size(), 0);
         },
         [&](const QString &file) {
             return attribute(file, "user.colour") == "blue" &&
                    attribute(file, "system.posix_acl_access") == acl;
         }},
        {"owner", [](const QByteArray &path) { (void)!::chown(path, 1234, 1234); },
         [](const QString &file) {
             // Only a process that may give files away can keep another's ownership.
             return ::geteuid() != 0 ||
                    (statOf(file).st_uid == 1234 && statOf(file).st_gid == 1234);
         }},
        {"sparse", [](const QByteArray &path) { (void)!::truncate(path, 64 << 20); },
         [](const QString &file) { return statOf(file).st_blocks * 512 < (1 << 20); }},
    };
    for (const Case &c : cases) {
        folder.put(c.name, "some data");
        c.set(QFile::encodeName(folder.locker(c.name)));
    }
    QCOMPARE(folder.run("encrypt"), 0);
    QCOMPARE(folder.run("decrypt"), 0);
    for (const Case &c : cases)
        QVERIFY2(c.kept(folder.locker(c.name)), c.name);
}

// Replacing one name of a file with several would split it in two: it is left and named.
void TestZentil::hardLinkedFilesAreLeftAndNamed() {
    ZentilFolder folder;
    folder.put("one", "shared");
    QVERIFY(::link(QFile::encodeName(folder.locker("one")).constData(),
                   QFile::encodeName(folder.locker("two")).constData()) == 0);
    QCOMPARE(folder.run("encrypt"), 1);
    QCOMPARE(statOf(folder.locker("one")).st_nlink, nlink_t(2));
    QCOMPARE(folder.contents()["two"], "shared");
    for (const char *name : {"\none: ", "\ntwo: "})
        QVERIFY2(folder.errorNote().contains(name), name);
}

QTEST_GUILESS_MAIN(TestZentil)
#include "test_zentil.moc"
