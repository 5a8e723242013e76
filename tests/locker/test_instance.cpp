#include "tests/support/testfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>

namespace {

// Every file of the program folder with its size and time of change.
QStringList folderListing(const QString &folder) {
    QStringList listing;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        listing << file.filePath() + u' ' + QString::number(file.size()) + u' ' +
                       QString::number(file.lastModified().toMSecsSinceEpoch());
    }
    listing.sort();
    return listing;
}

} // namespace

class TestInstance : public QObject {
    Q_OBJECT
private slots:
    void aSecondStartOnTheSameFolderEndsAndChangesNothing();
};

void TestInstance::aSecondStartOnTheSameFolderEndsAndChangesNothing() {
    TestFolder folder;
    QVERIFY(
        QFile::copy(QCoreApplication::applicationDirPath() + "/Tarvolen", folder.path("Tarvolen")));
    folder.setSetting("Psetting", "l97");
    // The copies look for Qt's plugins in this folder's lib/, which has none; the build tree has.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_PLUGIN_PATH", QCoreApplication::applicationDirPath() + "/lib/plugins");
    environment.insert("XDG_RUNTIME_DIR", folder.root());
    // Another user who may read the folder locks it: no matter to the owner.
    QCOMPARE(::flock(::open(QFile::encodeName(folder.programFolder()), O_RDONLY), LOCK_EX), 0);
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(folder.path("Tarvolen"), {});
    QVERIFY(first.waitForStarted());
    // Its start-up resets the uninstall marker and then stores the Master Key switch: from then on
    // it runs, and writes nothing more.
    QTRY_COMPARE_WITH_TIMEOUT(folder.setting("Rmove"), "out", 20000);
    QTRY_COMPARE_WITH_TIMEOUT(folder.setting("Msetting"), "1", 20000);
    folder.setSetting("Rmove", "in");
    // Only this user reaches it: one socket tarvolen-<hash>, in its runtime folder, none abstract.
    const QString socket = QDir(folder.root()).entryList(QDir::System).value(0);
    QFile table("/proc/net/unix");
    QVERIFY(table.open(QIODevice::ReadOnly));
    QCOMPARE(table.readAll().count(socket.mid(9).toLatin1()), 1);
    const QByteArray settings = folder.settingsFileContents();
    const QStringList files = folderListing(folder.root());

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(folder.path("Tarvolen"), {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(folder.settingsFileContents(), settings);
    QCOMPARE(folderListing(folder.root()), files);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

QTEST_GUILESS_MAIN(TestInstance)
#include "test_instance.moc"
