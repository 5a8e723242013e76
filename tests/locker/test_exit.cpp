#include "locker/engine/lock.h"
#include "locker/engine/sessionend.h"
#include "tests/locker/lockerfixture.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDirIterator>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QStringList kExitMenu = {"Lock Folder and Exit", "Exit without Locking", "-", "Cancel"};
const QString kLeaveQuestion = "Your files will not be encrypted.\r\nAre you sure?";

// Everything a person can see of the window, to prove that nothing changed.
QStringList snapshot(const LockerWindow &w) {
    QStringList seen;
    for (QWidget *child : w.findChildren<QWidget *>())
        seen << QString::number(child->isVisible());
    seen << w.Label1->text() << w.Label3->text() << w.Ok->text() << w.Cancel->text()
         << w.D_Label->text() << w.E_Label->text() << QString::number(int(w.Label1->alignment()));
    return seen;
}

class FakeSessionEnd : public SessionEndRequest {
public:
    bool allowsInteraction() override { return true; }
    void cancel() override { cancelled = true; }
    bool cancelled = false;
};

// Where the road is when the close comes, what asks for it, and what the run that is under way,
// or that the close starts, meets: another run holding the locker until after the close (Waits),
// its script removed while it waits for the locker (Vanishes, every run of the road), or a file of
// the open locker held open for writing (Fails).
enum State { Prompt, Unlocking, Open, Locking };
enum Source { CloseBox, ExitProgram, Uninstall, SessionEnd, SecondStart };
enum Fate { Succeeds, Fails, Vanishes, Waits };
using Answer = Dialogs::Answer; // to "Are you sure?"; Cancel: Enter, whose default is No
struct Row {
    const char *name;
    State state;
    Source source;
    QString choice; // in the exit menu; empty: dismissed
    Answer answer;
    Fate fate;
    bool ends;
};
const QString lock = "Lock Folder and Exit", leave = "Exit without Locking", cancel = "Cancel";
const Answer yes = Answer::Yes, no = Answer::No, enter = Answer::Cancel;
const Row kRoads[] = {
    {"prompt", Prompt, CloseBox, "", no, Succeeds, true},
    {"prompt, shown again", Prompt, SecondStart, "", no, Succeeds, true},
    {"unlocking", Unlocking, CloseBox, "", no, Waits, false},
    {"unlocking, session", Unlocking, SessionEnd, "", no, Waits, false},
    {"lock", Open, CloseBox, lock, no, Succeeds, true},
    {"lock, fails", Open, ExitProgram, lock, no, Fails, true},
    {"lock, scripts vanish", Open, CloseBox, lock, no, Vanishes, true},
    {"leave", Open, CloseBox, leave, yes, Succeeds, true},
    {"leave, no", Open, CloseBox, leave, no, Succeeds, false},
    {"leave, enter", Open, ExitProgram, leave, enter, Succeeds, false},
    {"cancel", Open, CloseBox, cancel, no, Succeeds, false},
    {"dismiss", Open, CloseBox, "", no, Succeeds, false},
    {"uninstall, lock", Open, Uninstall, lock, no, Succeeds, true},
    {"uninstall, dismiss", Open, Uninstall, "", no, Succeeds, true},
    {"uninstall, cancel", Open, Uninstall, cancel, no, Waits, true},
    {"uninstall, leave", Open, Uninstall, leave, yes, Succeeds, true},
    {"uninstall, leave, no", Open, Uninstall, leave, no, Succeeds, true},
    {"session, lock", Open, SessionEnd, lock, no, Waits, true},
    {"session, cancel", Open, SessionEnd, cancel, no, Succeeds, false},
    {"session, leave", Open, SessionEnd, leave, yes, Succeeds, true},
    {"locking, leave", Locking, CloseBox, leave, yes, Waits, true},
    {"locking, session", Locking, SessionEnd, "", no, Waits, true},
};

// A program folder with the real zentil and scripts and a locker of three files locked under
// "secret", driven along one road by a quick clock in place of the 500 ms ticks.
struct Road {
    explicit Road(const Row &row) : row(row) {
        for (const QString name : {"zentil", "dzentil.kqx", "ezentil.kqx"})
            QFile::copy(QCoreApplication::applicationDirPath() + '/' + name, f.folder.path(name));
        f.folder.setSetting("Psetting", MakeCode("secret"));
        for (const QString name : {"a.txt", "b.txt", "c/d.txt"})
            f.folder.writeFile("Locker/" + name, "plain");
        QProcess locking;
        locking.setStandardOutputFile(QProcess::nullDevice());
        locking.start("/bin/sh", {f.folder.path("ezentil.kqx")});
        locking.waitForFinished();
        f.shell.realGuards = true;
        QObject::connect(&clock, &QTimer::timeout, [this] { tick(); });
        clock.start(10);
    }
    ~Road() { ::close(writer); }

    void holdLocker() {
        locker = ::open(f.folder.path("Locker").toUtf8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::flock(locker, LOCK_EX);
    }
    void letLockerGo() { ::close(std::exchange(locker, -1)); }
    QString runningProgram() {
        return f.window.cipherRun
                   ? QFile::symLinkTarget(
                         QString("/proc/%1/exe").arg(f.window.cipherRun->processId()))
                   : QString();
    }

    void tick() {
        LockerWindow &w = f.window;
        const bool open = w.D_Label->text() == "4" && w.E_Label->text() == "0";
        if (row.fate == Fails && writer < 0 && open)
            writer = ::open(f.folder.path("Locker/a.txt").toUtf8(), O_WRONLY | O_CLOEXEC);
        if (row.fate == Vanishes && locker < 0 && open)
            holdLocker();
        // Once the shell has handed over to zentil, which waits for the locker, its script goes.
        if (row.fate == Vanishes && locker >= 0 && runningProgram().endsWith("/zentil")) {
            QFile::remove(f.folder.path("d.bat"));
            QFile::remove(f.folder.path("e.bat"));
            letLockerGo();
        }
        if (w.D_Timer->isActive())
            D_Timer_Timer(w);
        if (w.E_Timer->isActive())
            E_Timer_Timer(w);
    }

    void reach() {
        if (row.fate == Vanishes || (row.fate == Waits && row.state == Unlocking))
            holdLocker();
        f.start();
        if (row.state == Prompt)
            return;
        f.window.Password->setText("secret");
        f.window.Ok->click();
        const QString counter = row.state == Unlocking ? "1" : "4";
        QVERIFY(QTest::qWaitFor([&] { return f.window.D_Label->text() == counter; }, 30000));
        if (row.fate == Waits && row.state != Unlocking)
            holdLocker();
        if (row.state == Locking) {
            f.dialogs.queueMenuChoice(lock);
            f.window.close();
        }
    }

    void close() {
        if (row.source == Uninstall)
            f.dialogs.queueAnswer(yes);
        f.dialogs.queueMenuChoice(row.choice);
        if (row.answer != enter)
            f.dialogs.queueAnswer(row.answer);
        // A run that waits for the locker gets it soon after the close began.
        if (row.fate == Waits)
            QTimer::singleShot(300, [this] { letLockerGo(); });
        if (row.source == CloseBox)
            f.window.close();
        if (row.source == ExitProgram)
            f.window.ExitProgram->click();
        if (row.source == Uninstall)
            f.window.Uninstall->click();
        if (row.source == SessionEnd)
            answerSessionEnd(f.window, session);
        if (row.source == SecondStart) {
            // Closed while the About window keeps the program running, then started again.
            Command1_Click(f.window);
            f.window.close();
            f.window.bringToFront();
            f.window.Cancel->click();
        }
        QVERIFY(QTest::qWaitFor(
            [&] {
                return f.window.isUnloaded() ||
                       (!f.window.D_Timer->isActive() && !f.window.E_Timer->isActive() &&
                        !f.window.cipherRun);
            },
            60000));
    }

    // The program ends as a killed one does: what runs behind it is the guard of its hold.
    void endProgram() {
        clock.stop();
        f.window.cipherRun.reset();
        f.window.sessionHold.reset();
        ::close(std::exchange(writer, -1));
    }

    bool told(const QString &text) const {
        return std::any_of(f.dialogs.shown.begin(), f.dialogs.shown.end(),
                           [&](const FakeDialogs::Shown &box) { return box.text.contains(text); });
    }

    const Row &row;
    LockerFixture f;
    QTimer clock;
    FakeSessionEnd session;
    int locker = -1;
    int writer = -1;
};

bool everyChildEnded() {
    return QTest::qWaitFor(
        [] {
            pid_t reaped;
            while ((reaped = ::waitpid(-1, nullptr, WNOHANG)) > 0) {
            }
            return reaped < 0 && errno == ECHILD;
        },
        60000);
}

// What holds after every road, once every process has ended.
void checkInvariants(const Road &road) {
    QVERIFY(everyChildEnded());
    QStringList readable;
    int files = 0;
    for (QDirIterator it(road.f.folder.path("Locker"), QDir::Files | QDir::Hidden,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile file(it.next());
        if (file.fileName().contains("zentil-errors") || !file.open(QIODevice::ReadOnly))
            continue;
        ++files;
        if (!file.read(6).startsWith("ZENTIL"))
            readable << file.fileName();
    }
    // The record agrees with the files.
    QCOMPARE(road.f.folder.setting("Files") == "1", files > 0 && readable.isEmpty());
    // Readable only where the user chose to leave them so, or was told which stayed so.
    const bool leftOpen = road.told(kLeaveQuestion) && road.row.answer == yes;
    QVERIFY2(readable.isEmpty() || leftOpen || road.told("still readable"),
             qPrintable(readable.join(' ')));
    // Nothing the window said contradicts what happened.
    if (leftOpen)
        QCOMPARE(readable.size(), files);
    if (road.told("without decryption"))
        QCOMPARE(road.f.window.Label6->text(), "0");
    for (const QString script : {"d.bat", "e.bat"})
        QVERIFY(!QFile::exists(road.f.folder.path(script)));
}

} // namespace

class TestExit : public QObject {
    Q_OBJECT
private slots:
    void everyRoadKeepsItsPromises_data();
    void everyRoadKeepsItsPromises();
    void cancelInTheExitMenuKeepsEverything();
    void aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision_data();
    void aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision();
};

void TestExit::everyRoadKeepsItsPromises_data() {
    QTest::addColumn<int>("road");
    for (int i = 0; i < int(std::size(kRoads)); ++i)
        QTest::newRow(kRoads[i].name) << i;
}

void TestExit::everyRoadKeepsItsPromises() {
    QFETCH(int, road);
    Road r(kRoads[road]);
    r.reach();
    r.close();
    QCOMPARE(r.f.window.isUnloaded() && !r.f.window.isVisible(), r.row.ends);
    if (r.row.source == SessionEnd)
        QCOMPARE(r.session.cancelled, !r.row.ends);
    // The uninstaller starts as the program ends, and only then.
    QCOMPARE(r.f.shell.started.size(), r.row.source == Uninstall && r.row.ends ? 1 : 0);
    r.endProgram();
    checkInvariants(r);
}

void TestExit::cancelInTheExitMenuKeepsEverything() {
    LockerFixture f;
    f.openLocker();
    const QStringList before = snapshot(f.window);
    f.dialogs.queueMenuChoice("Cancel");
    QVERIFY(!f.window.close());
    QCOMPARE(f.dialogs.menus, QList<QStringList>{kExitMenu});
    QCOMPARE(snapshot(f.window), before);
    // Dismissed without a choice: the same.
    QVERIFY(!f.window.close());
    QCOMPARE(snapshot(f.window), before);
    QVERIFY(!f.window.isUnloaded());
}

void TestExit::aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision_data() {
    QTest::addColumn<QString>("choice");
    // How many boxes or menus open before the one during which the desktop asks to close.
    QTest::addColumn<int>("openBefore");
    QTest::newRow("in the exit menu") << "Cancel" << 0;
    QTest::newRow("in the question of Exit without Locking") << "Exit without Locking" << 1;
}

// The title-bar button, Alt+F4 or the taskbar close the window through the desktop, which
// delivers the request to the platform window, while the first close still waits for an answer.
void TestExit::aCloseFromTheDesktopWhileDecidingIsLeftToTheDecision() {
    QFETCH(QString, choice);
    QFETCH(int, openBefore);
    LockerFixture f;
    f.openLocker();
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    std::function<void()> closeFromDesktop = [&f] {
        QCloseEvent request;
        QCoreApplication::sendEvent(f.window.windowHandle(), &request);
    };
    for (int i = 0; i < openBefore; ++i)
        closeFromDesktop = [&f, inner = closeFromDesktop] { f.dialogs.whileNextIsOpen(inner); };
    f.dialogs.whileNextIsOpen(closeFromDesktop);
    f.dialogs.queueMenuChoice(choice);
    f.dialogs.queueAnswer(Dialogs::Answer::No);
    f.window.ExitProgram->click();
    QCOMPARE(f.dialogs.shown.size(), openBefore);
    QVERIFY(f.window.isVisible());
    QVERIFY(!f.window.isUnloaded());
    QCOMPARE(lastClosed.count(), 0);
}

QTEST_MAIN(TestExit)
#include "test_exit.moc"
