#include "tests/cipher/zentilfolder.h"

#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <unistd.h>

// A locker on an exFAT stick, through the FUSE driver, which keeps no extended attributes: a run
// killed or failing while it locks or unlocks, then a lock and an unlock. Each must end with
// every file back exactly, nothing else in the locker, and every report true.
class TestZentilStick : public QObject {
    Q_OBJECT
private slots:
    void interruptedRunsLeaveNothingBehind();
};

namespace {

// Mounts a fresh exFAT image as the folder's locker; returns its loop device, "" on failure.
QString mountStick(const ZentilFolder &folder) {
    const QString image = folder.path("stick.img");
    folder.writeFile("stick.img", {});
    if (!QFile::resize(image, 64 << 20) || QProcess::execute("mkfs.exfat", {image}) != 0)
        return {};
    QProcess losetup;
    losetup.start("losetup", {"-f", "--show", image});
    losetup.waitForFinished();
    const QString loop = QString::fromUtf8(losetup.readAllStandardOutput()).trimmed();
    return QProcess::execute("mount.exfat-fuse", {loop, folder.locker()}) == 0 ? loop : QString();
}

} // namespace

void TestZentilStick::interruptedRunsLeaveNothingBehind() {
    if (::geteuid() != 0 || !QFile::exists("/dev/fuse") ||
        QStandardPaths::findExecutable("mount.exfat-fuse").isEmpty())
        QSKIP("needs root, /dev/fuse and the packages exfat-fuse and exfatprogs");
    const QMap<QString, QByteArray> originals = {
        {"a", randomBytes(200'000)}, {"b/c", randomBytes(1000)}, {"b/d", {}}, {".e", "e"}};
    // How the first run ends: killed (signal) or failing at a call of the disk, or at a bound
    // on the file size (sizeLimit); what its note then says of the file "a".
    const struct Row {
        const char *mode, *call;
        int at, signal, sizeLimit;
        const char *noteOfA;
    } rows[] = {
        {"encrypt", "write", 1, SIGKILL, 0, ""},
        {"encrypt", "write", 3, SIGKILL, 0, ""},
        {"encrypt", "rename", 2, SIGKILL, 0, ""},
        {"decrypt", "write", 3, SIGKILL, 0, ""},
        {"decrypt", "rename", 2, SIGKILL, 0, ""},
        {"encrypt", "write", 3, 0, 0, ""},
        {"encrypt", "", 0, 0, 100'000, "larger than this file system allows"},
    };
    for (const Row &row : rows) {
        const QString what = QStringLiteral("%1 %2 #%3").arg(row.mode, row.call).arg(row.at);
        ZentilFolder folder;
        const QString loop = mountStick(folder);
        QVERIFY(!loop.isEmpty());
        const auto unmount = qScopeGuard([&] {
            QProcess::execute("umount", {folder.locker()});
            QProcess::execute("losetup", {"-d", loop});
        });
        for (auto it = originals.begin(); it != originals.end(); ++it)
            folder.put(it.key(), it.value());
        if (QByteArray(row.mode) == "decrypt")
            QCOMPARE(folder.run("encrypt"), 0);
        folder.limitFileSize(row.sizeLimit);
        folder.run(row.mode, faulty(row.call, QString::number(row.at), ENOSPC, row.signal));
        QVERIFY2(folder.errorNote().contains(row.noteOfA), qPrintable(what));
        folder.limitFileSize(0);

        QCOMPARE(folder.run("encrypt"), 0);
        QVERIFY2(folder.errorNote().isEmpty(), qPrintable(what));
        QCOMPARE(folder.run("decrypt"), 0);
        QVERIFY2(folder.contents() == originals, qPrintable(what));
        QVERIFY(folder.output.contains("done files 4/4 ") && folder.output.endsWith(" failed 0\n"));
    }
}

QTEST_GUILESS_MAIN(TestZentilStick)
#include "test_zentil_stick.moc"
