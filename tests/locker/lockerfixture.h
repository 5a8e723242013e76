#pragma once

#include "common/settings.h"
#include "locker/engine/unlock.h"
#include "locker/entry/startup.h"
#include "locker/entry/wiring.h"
#include "locker/window/changelabel.h"
#include "locker/window/commands.h"
#include "locker/window/lockerwindow.h"
#include "platform/core/script.h"
#include "tests/support/fakedialogs.h"
#include "tests/support/fakeshell.h"
#include "tests/support/testfolder.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// A main window wired as the program wires it, in a program folder of the test's own, with the
// desktop and the modal boxes stood in for.
struct LockerFixture {
    explicit LockerFixture(const QString &folderName = QStringLiteral("Tarvolen"))
        : folder(folderName), window(folder.programFolder(), dialogs, shell) {
        connectHandlers(window);
    }

    // Starts the program: the load event, then the window shows unless it was closed.
    void start() {
        Form_Load(window);
        if (!window.isUnloaded())
            window.show();
    }

    // A shipped cipher script that leaves a mark in the program folder when it runs.
    void shipScript(const QString &name, const QString &mark) {
        folder.writeFile(
            name, QStringLiteral("echo ran > \"$(dirname \"$0\")/%1\"\n").arg(mark).toUtf8());
    }

    // Ticks a sequence to its last step. The cipher run holds that step until it has ended, so
    // the ticks wait for it as the timer would.
    bool tickToTheEnd(void (*tick)(LockerWindow &), const ChangeLabel &counter) {
        return QTest::qWaitFor(
            [&] {
                if (counter.text() != QLatin1String("4"))
                    tick(window);
                return counter.text() == QLatin1String("4");
            },
            20000);
    }

    // Ticks a sequence past its timeline while its run, once it has reported, still goes on.
    // The ticks delete the script's copy: the shell must have it open, which its first report
    // shows, or the run would end at once.
    void tickPastTheTimeline(void (*tick)(LockerWindow &)) {
        QVERIFY(QTest::qWaitFor([&] {
            return window.cipherRun &&
                   (window.cipherRun->poll(), !window.cipherRun->lastLine().isEmpty());
        }));
        for (int i = 0; i < 5; ++i)
            tick(window);
    }

    // Ships a script whose copy comes out short: too long for a disk that FileSizeLimit nearly
    // fills, or unreadable (reading this process's memory at offset 0 fails with EIO).
    void shipScriptThatCopiesShort(const QString &name, bool readable) {
        if (readable)
            folder.writeFile(name, QByteArray(64 * 1024, '#'));
        else
            QFile::link(QStringLiteral("/proc/self/mem"), folder.path(name));
    }

    // From a stored password through the whole unlock sequence to the open locker, or only to
    // the decrypt run under way, its timer ticking.
    void openLocker(bool wholly = true) {
        folder.setSetting(QStringLiteral("Psetting"), MakeCode(QStringLiteral("secret")));
        shipScript(QStringLiteral("dzentil.kqx"), QStringLiteral("decrypted"));
        start();
        window.Password->setText(QStringLiteral("secret"));
        window.Ok->click();
        D_Timer_Timer(window);
        if (wholly)
            QVERIFY(tickToTheEnd(D_Timer_Timer, *window.D_Label));
    }

    TestFolder folder;
    FakeDialogs dialogs;
    FakeShell shell;
    LockerWindow window;
};

// The two ways in which a copy of a shipped script comes out short (see shipScriptThatCopiesShort).
inline void addShortCopyRows() {
    QTest::addColumn<bool>("readable");
    QTest::newRow("full disk") << true;
    QTest::newRow("read error") << false;
}

// While it lives, this process can write no file beyond a few KiB, as on a nearly full disk: a
// longer write stops part-way with an error.
class FileSizeLimit {
public:
    FileSizeLimit() : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};
