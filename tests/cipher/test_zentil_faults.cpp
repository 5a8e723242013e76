#include "tests/cipher/zentilfolder.h"

#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <cstring>

// Makes one write, flush, rename or read of zentil fail, at every moment in turn, and proves that
// no file is lost and that every line of the note is true: a file left as it was is listed as
// such, a file already replaced is not, and each reason names the error that happened.
class TestZentilFaults : public QObject {
    Q_OBJECT
private slots:
    void aFailingDiskLosesNothingAndTheNoteTellsTheTruth();
    void everyChangeIsOnTheDiskInOrderAndEachFolderFlushedOnce();
    void foldersThatCannotBeListedHoldNoDescriptors();
    void kernelsThatRefuseLinksByDescriptorStillGetEveryFile();
};

namespace {

const QMap<QString, QByteArray> &originals() {
    static const QMap<QString, QByteArray> files = {
        {"small", randomBytes(1000)},
        {"big", randomBytes(1200 * 1024)}, // more than one block of zentil's writer
        {"sub/other", randomBytes(70'000)},
    };
    return files;
}

// The note's lines that name a file, each under the heading it stands below.
QMap<QString, QPair<QString, QString>> noteLines(const QString &note) {
    QMap<QString, QPair<QString, QString>> lines;
    QString heading;
    for (const QString &line : note.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (line.startsWith(QStringLiteral("zentil")) || colon < 0)
            heading = line;
        else
            lines.insert(line.left(colon), {heading, line.mid(colon + 2)});
    }
    return lines;
}

} // namespace

void TestZentilFaults::aFailingDiskLosesNothingAndTheNoteTellsTheTruth() {
    // Which calls on the locker fail, of those that a run makes (reads every third one).
    struct Case {
        const char *call;
        int error;
        int calls;
        int step;
    } cases[] = {
        {"write", ENOSPC, 5, 1}, {"fsync", EIO, 6, 1}, {"rename", EIO, 3, 1}, {"read", EIO, 30, 3}};
    // The files locked once, for the runs that unlock.
    ZentilFolder locked;
    for (auto it = originals().begin(); it != originals().end(); ++it)
        locked.put(it.key(), it.value());
    QCOMPARE(locked.run("encrypt"), 0);
    for (const Case &c : cases) {
        for (const char *mode : {"encrypt", "decrypt"}) {
            for (int at = 1; at <= c.calls; at += c.step) {
                const QString what = QStringLiteral("%1 %2 #%3").arg(mode, c.call).arg(at);
                ZentilFolder folder;
                const auto before = QByteArray(mode) == "decrypt" ? locked.contents() : originals();
                for (auto it = before.begin(); it != before.end(); ++it)
                    folder.put(it.key(), it.value());
                folder.run(mode, faulty(c.call, QString::number(at), c.error));

                const auto after = folder.contents();
                const auto lines = noteLines(folder.errorNote());
                for (auto it = lines.begin(); it != lines.end(); ++it) {
                    const bool left = after.value(it.key()) == before.value(it.key());
                    QVERIFY2(it->first.contains("left exactly as they were") == left,
                             qPrintable(what + ": " + it.key() + ": " + it->first));
                    QVERIFY2(it->second.contains(QString::fromUtf8(std::strerror(c.error))),
                             qPrintable(what + ": " + it.key() + ": " + it->second));
                }
                QCOMPARE(folder.run("decrypt"), 0);
                QVERIFY2(folder.contents() == originals(), qPrintable(what));
            }
        }
    }
}

// What a power cut at any moment would leave: each temporary file flushed, by itself or with its
// whole file system, after its last write and before it takes a name, and every rename flushed
// with its folder before the run ends, each folder once.
void TestZentilFaults::everyChangeIsOnTheDiskInOrderAndEachFolderFlushedOnce() {
    for (const char *mode : {"encrypt", "decrypt"}) {
        ZentilFolder folder;
        for (int i = 0; i < 6; ++i)
            folder.put(QStringLiteral("%1/file%2").arg(i % 2 ? "sub" : "top").arg(i),
                       randomBytes(5000));
        if (QByteArray(mode) == "decrypt")
            QCOMPARE(folder.run("encrypt"), 0);
        const QString log = folder.path("calls.log");
        QProcessEnvironment logged = preloaded(FAULT_SHIM);
        logged.insert("FAULT_LOG", log);
        QCOMPARE(folder.run(mode, logged), 0);

        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        int renames = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QStringList parts = lines[i].split(u' ');
            if (parts[0] != "rename")
                continue;
            ++renames;
            const QString into = QFileInfo(parts[2]).path();
            const qsizetype written = lines.lastIndexOf("write " + parts[3], i);
            const auto flushed = [&](const QString &line) {
                return line == "fsync " + parts[3] || line.startsWith("syncfs ");
            };
            QVERIFY2(written >= 0 &&
                         std::any_of(lines.begin() + written, lines.begin() + i, flushed),
                     qPrintable(lines[i]));
            QVERIFY2(lines.indexOf("fsync " + into, i) > i, qPrintable(lines[i]));
            QVERIFY2(lines.count("fsync " + into) == 1, qPrintable(into));
        }
        QCOMPARE(renames, 6);
    }
}

// More folders that cannot be listed than zentil may hold descriptors leave it enough for the rest.
void TestZentilFaults::foldersThatCannotBeListedHoldNoDescriptors() {
    ZentilFolder folder;
    folder.limitOpenFiles(32);
    for (int i = 0; i < 40; ++i)
        folder.put(QStringLiteral("d%1/x").arg(i), "plain");
    folder.put("a", "plain");
    // Every folder but the locker itself.
    QCOMPARE(folder.run("encrypt", faulty("fdopendir", "2+", ENOMEM)), 1);
    QVERIFY(folder.contents()["a"].startsWith("ZENTIL"));
    QCOMPARE(folder.errorNote().count(QString::fromUtf8(std::strerror(ENOMEM))), 40);
}

// Before Linux 6.10 an unprivileged process cannot link an unnamed file by its descriptor.
void TestZentilFaults::kernelsThatRefuseLinksByDescriptorStillGetEveryFile() {
    ZentilFolder folder;
    for (auto it = originals().begin(); it != originals().end(); ++it)
        folder.put(it.key(), it.value());
    const QProcessEnvironment oldKernel = faulty("flink", "1+", ENOENT);
    QCOMPARE(folder.run("encrypt", oldKernel), 0);
    for (const QByteArray &contents : folder.contents())
        QVERIFY(contents.startsWith("ZENTIL"));
    QCOMPARE(folder.run("decrypt", oldKernel), 0);
    QVERIFY(folder.contents() == originals());
}

QTEST_GUILESS_MAIN(TestZentilFaults)
#include "test_zentil_faults.moc"
