#include "common/settings.h"
#include "platform/core/menuentry.h"
#include "tests/support/fakedialogs.h"
#include "tests/support/testfolder.h"
#include "uninstall/uninstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kBundled = "lib/plugins/platforms/libqxcb.so";
const QStringList kProgramFiles = {"Tarvolen",     "dzentil.kqx", "ezentil.kqx", "zentil", kBundled,
                                   "Versions.txt", "Readme.html", "Readme.txt",  "d.bat",  "e.bat"};

const QString kCompleted = "Tarvolen uninstalled sucessfully. You can manually\r\n"
                           "delete the following files.\r\n\r\nUninstall\r\n"
                           "Your personal locker, if not needed.";
const QString kAccessFailure = "Please make sure, Tarvolen is not running and\r\n"
                               "close other files too. Uninstall will not continue.";

// A program folder as the main program leaves it when it hands over.
void install(const TestFolder &folder, const QString &marker = "in") {
    for (const QString &name : kProgramFiles)
        folder.writeFile(name, name.toUtf8());
    folder.writeFile("Uninstall", "itself");
    folder.writeFile("Locker/mine.txt", "my file");
    folder.setSetting("Psetting", MakeCode("pw"));
    folder.setSetting("Msetting", "1");
    folder.setSetting("Files", "0");
    if (!marker.isNull())
        folder.setSetting("Rmove", marker);
}

QStringList remaining(const TestFolder &folder) {
    QStringList left;
    for (const QString &name : kProgramFiles) {
        if (QFile::exists(folder.path(name)))
            left << name;
    }
    return left;
}

void expectUntouched(const TestFolder &folder) {
    QCOMPARE(remaining(folder), kProgramFiles);
    QCOMPARE(folder.readFile("Locker/mine.txt"), "my file");
    QCOMPARE(folder.readFile("Uninstall"), "itself");
}

// Holds a file the way a running main program holds its own program file.
class InUse {
public:
    explicit InUse(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)) {
        ::flock(m_fd, LOCK_SH);
    }
    ~InUse() { ::close(m_fd); }

private:
    int m_fd;
};

// Makes a folder read-only while it lives: by its mode, or for root by the immutable flag.
struct ReadOnly {
    explicit ReadOnly(const QString &path) : path(path) { change("+i", "a-w"); }
    ~ReadOnly() { change("-i", "u+w"); }
    void change(const QString &flag, const QString &mode) const {
        if (path.isEmpty())
            return;
        QProcess::execute("chattr", {flag, path});
        QProcess::execute("chmod", {mode, path});
    }
    QString path;
};

// The real main program in place of the stand-in, so that it takes that folder for its own.
bool copyMainProgram(const QString &programFolder) {
    const QString program = programFolder + "/Tarvolen";
    QFile::remove(program);
    return QFile::copy(QCoreApplication::applicationDirPath() + "/Tarvolen", program);
}

struct Answer {
    int exitCode;
    QString output;
    QString errors;
};

// Tarvolen --add-to-menu as a terminal without a display starts it.
Answer addToMenu(const QString &programFolder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    QProcess tarvolen;
    tarvolen.setProcessEnvironment(environment);
    tarvolen.start(programFolder + "/Tarvolen", {"--add-to-menu"});
    tarvolen.waitForFinished(20000);
    return {tarvolen.exitCode(), QString::fromUtf8(tarvolen.readAllStandardOutput()),
            QString::fromUtf8(tarvolen.readAllStandardError())};
}

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestUninstall : public QObject {
    Q_OBJECT
private slots:
    void refusesATemporaryFolder();
    void refusesWithoutTheHandOff_data();
    void refusesWithoutTheHandOff();
    void goesAheadWhenStartedByHand_data();
    void goesAheadWhenStartedByHand();
    void cancelKeepsTheFiles();
    void removesTheProgramButNeverTheLocker();
    void passesOverMissingFilesAndAMissingSection();
    void aStoppedRunCanBeRunAgain_data();
    void aStoppedRunCanBeRunAgain();
    void stopsAtOnceWhileTheMainProgramRuns();
    void removesItsOwnMenuEntryOnly_data();
    void removesItsOwnMenuEntryOnly();
    void addsNoMenuEntryForATemporaryFolder();
};

void TestUninstall::refusesATemporaryFolder() {
    TestFolder folder("D/TEMP/Safe");
    install(folder);
    const QByteArray settings = folder.settingsFileContents();
    FakeDialogs dialogs;
    runUninstall(folder.programFolder(), dialogs);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text,
             "Please unzip Tarvolen first.\r\nSee readme file for more details.");
    QCOMPARE(dialogs.shown[0].title, "Unzip Tarvolen");
    expectUntouched(folder);
    QCOMPARE(folder.settingsFileContents(), settings);
}

void TestUninstall::refusesWithoutTheHandOff_data() {
    QTest::addColumn<QString>("marker");
    QTest::newRow("out") << "out";
    QTest::newRow("capitals") << "IN";
    QTest::newRow("trailing blank") << "in ";
}

void TestUninstall::refusesWithoutTheHandOff() {
    QFETCH(QString, marker);
    TestFolder folder;
    install(folder, marker);
    const QByteArray settings = folder.settingsFileContents();
    FakeDialogs dialogs;
    runUninstall(folder.programFolder(), dialogs);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text, "Uninstall Tarvolen from within the program.");
    QCOMPARE(dialogs.shown[0].title, "Uninstall");
    QCOMPARE(dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
    expectUntouched(folder);
    QCOMPARE(folder.settingsFileContents(), settings);
}

void TestUninstall::goesAheadWhenStartedByHand_data() {
    QTest::addColumn<bool>("password");
    QTest::addColumn<QString>("marker");
    QTest::newRow("no marker") << true << QString();
    QTest::newRow("no password") << false << "out";
}

void TestUninstall::goesAheadWhenStartedByHand() {
    QFETCH(bool, password);
    QFETCH(QString, marker);
    TestFolder folder;
    install(folder, marker);
    if (!password)
        folder.setSetting("Psetting", "");
    FakeDialogs dialogs;
    dialogs.queueAnswer(Dialogs::Answer::Cancel);
    runUninstall(folder.programFolder(), dialogs);
    QCOMPARE(dialogs.shown[0].title, "Uninstall Confirmation");
}

void TestUninstall::cancelKeepsTheFiles() {
    TestFolder folder;
    install(folder);
    folder.setSetting("Files", "1");
    FakeDialogs dialogs;
    dialogs.queueAnswer(Dialogs::Answer::Cancel);
    runUninstall(folder.programFolder(), dialogs);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text, "Click Ok to confirm the uninstall\r\nAre you sure?");
    QCOMPARE(dialogs.shown[0].buttons, Dialogs::Buttons::OkCancel);
    expectUntouched(folder);
    QCOMPARE(folder.setting("Rmove"), "out");
    QCOMPARE(folder.setting("Files"), "1");
    QCOMPARE(folder.setting("Psetting"), MakeCode("pw"));
}

void TestUninstall::removesTheProgramButNeverTheLocker() {
    TestFolder folder;
    install(folder);
    SaveSetting(kSettingsApp, SettingsSection("/another/folder"), "Psetting", "l97");
    FakeDialogs dialogs;
    runUninstall(folder.programFolder(), dialogs);
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[1].text, kCompleted);
    QCOMPARE(dialogs.shown[1].title, "Uninstall Completed Sucessfully");
    QCOMPARE(remaining(folder), QStringList());
    QVERIFY(!QFileInfo::exists(folder.path("lib")));
    QVERIFY(!folder.hasSection());
    QCOMPARE(GetSetting(kSettingsApp, SettingsSection("/another/folder"), "Psetting"), "l97");
    QCOMPARE(folder.readFile("Locker/mine.txt"), "my file");
    QCOMPARE(folder.readFile("Uninstall"), "itself");
}

void TestUninstall::passesOverMissingFilesAndAMissingSection() {
    TestFolder folder;
    folder.writeFile("Readme.txt", "only this one");
    FakeDialogs dialogs;
    runUninstall(folder.programFolder(), dialogs);
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[1].text, kCompleted);
    QCOMPARE(remaining(folder), QStringList());
}

void TestUninstall::aStoppedRunCanBeRunAgain_data() {
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("readOnly");
    QTest::newRow("a document in use") << "Readme.txt" << QString();
    QTest::newRow("a library in use") << kBundled << QString();
    QTest::newRow("a read-only folder in lib") << QString() << "lib/plugins";
}

void TestUninstall::aStoppedRunCanBeRunAgain() {
    QFETCH(QString, held);
    QFETCH(QString, readOnly);
    TestFolder folder;
    install(folder);
    {
        const InUse inUse(held.isEmpty() ? QString() : folder.path(held));
        const ReadOnly readOnlyFolder(readOnly.isEmpty() ? QString() : folder.path(readOnly));
        FakeDialogs dialogs;
        runUninstall(folder.programFolder(), dialogs);
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[1].text, kAccessFailure);
        QCOMPARE(dialogs.shown[1].title, "Uninstall");
    }
    // The uninstaller needs lib/ to start: it stays, with the settings, for a second run.
    QVERIFY(QFile::exists(folder.path(kBundled)));
    QCOMPARE(folder.setting("Rmove"), "in");
    FakeDialogs again;
    runUninstall(folder.programFolder(), again);
    QCOMPARE(again.shown.value(1).text, kCompleted);
    QCOMPARE(remaining(folder), QStringList());
    QVERIFY(!folder.hasSection());
    QCOMPARE(folder.readFile("Locker/mine.txt"), "my file");
}

void TestUninstall::stopsAtOnceWhileTheMainProgramRuns() {
    TestFolder folder;
    install(folder);
    QVERIFY(copyMainProgram(folder.programFolder()));
    QProcess tarvolen;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // The copy looks for Qt's plugins in this folder's lib/, which has none; the build tree has.
    environment.insert("QT_PLUGIN_PATH", QCoreApplication::applicationDirPath() + "/lib/plugins");
    environment.insert("XDG_RUNTIME_DIR", folder.root());
    tarvolen.setProcessEnvironment(environment);
    tarvolen.start(folder.path("Tarvolen"), {});
    QVERIFY(tarvolen.waitForStarted());
    // The main program marks its file in use as it starts.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const int fd = ::open(QFile::encodeName(folder.path("Tarvolen")).constData(), O_RDONLY);
            const bool inUse = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            ::close(fd);
            return inUse;
        }(),
        20000);
    // Its start-up resets the marker; its Uninstall command sets it again.
    QTRY_COMPARE_WITH_TIMEOUT(folder.setting("Rmove"), "out", 20000);
    folder.setSetting("Rmove", "in");
    const QStringList files = remaining(folder);

    FakeDialogs dialogs;
    runUninstall(folder.programFolder(), dialogs);
    tarvolen.kill();
    tarvolen.waitForFinished();
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[1].text, kAccessFailure);
    QCOMPARE(remaining(folder), files);
    QCOMPARE(folder.setting("Rmove"), "in");
}

void TestUninstall::removesItsOwnMenuEntryOnly_data() {
    QTest::addColumn<QString>("name");
    // As the entry must quote the program, ROOT standing for the fresh directory.
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "Tarvolen"
                           << R"(Exec="ROOT/Tarvolen/Tarvolen")";
    QTest::newRow("a space") << "My Programs/Tarvolen"
                             << R"(Exec="ROOT/My Programs/Tarvolen/Tarvolen")";
    QTest::newRow("quotes, dollar, percent, backslash")
        << R"(a "b" $c 5% d\e)"
        << R"(Exec="ROOT/a \\"b\\" \\$c 5%% d\\\\e/Tarvolen")";
}

// Two program folders, two entries: the uninstaller of one removes its entry and icon only.
void TestUninstall::removesItsOwnMenuEntryOnly() {
    QFETCH(QString, name);
    QFETCH(QString, exec);
    TestFolder folder(name);
    install(folder);
    const QString other = folder.root() + "/Other";
    QDir().mkpath(other);
    for (const QString &programFolder : {folder.programFolder(), other}) {
        QVERIFY(copyMainProgram(programFolder));
        const MenuEntry entry = menuEntryOf(programFolder);
        const Answer answer = addToMenu(programFolder);
        QCOMPARE(answer.errors, "");
        QCOMPARE(answer.output,
                 "Wrote the menu entry " + entry.entry + " with its icon " + entry.icon + '\n');
        QCOMPARE(answer.exitCode, 0);
    }
    const MenuEntry own = menuEntryOf(folder.programFolder());
    const QStringList lines = QString::fromUtf8(contents(own.entry)).split('\n');
    for (const QString &line :
         {QString("[Desktop Entry]"), QString("Type=Application"), QString("Name=Tarvolen"),
          exec.replace("ROOT", folder.root()), "Icon=" + own.icon})
        QVERIFY2(lines.contains(line), qPrintable(line));
    QVERIFY(contents(own.icon).startsWith("\x89PNG"));

    FakeDialogs dialogs;
    runUninstall(folder.programFolder(), dialogs);
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[1].text, kCompleted);
    QVERIFY(!QFileInfo::exists(own.entry));
    QVERIFY(!QFileInfo::exists(own.icon));
    const MenuEntry others = menuEntryOf(other);
    QVERIFY(QFileInfo::exists(others.entry));
    QVERIFY(QFileInfo::exists(others.icon));
}

// The program refuses to run there, so it writes no entry that would only start a refusal.
void TestUninstall::addsNoMenuEntryForATemporaryFolder() {
    TestFolder folder("D/Temp/Safe");
    QVERIFY(copyMainProgram(folder.programFolder()));
    const Answer answer = addToMenu(folder.programFolder());
    QCOMPARE(answer.exitCode, 1);
    QCOMPARE(answer.output, "");
    QVERIFY2(answer.errors.startsWith("Tarvolen: no menu entry for "), qPrintable(answer.errors));
    QVERIFY(!QFileInfo::exists(menuEntryOf(folder.programFolder()).entry));
}

QTEST_GUILESS_MAIN(TestUninstall)
#include "test_uninstall.moc"
