#pragma once

#include "common/settings.h"
#include "locker/engine/unlock.h"
#include "locker/engine/wiring.h"
#include "locker/entry/startup.h"
#include "locker/entry/wiring.h"
#include "locker/window/changelabel.h"
#include "locker/window/commands.h"
#include "locker/window/lockerwindow.h"
#include "tests/support/fakedialogs.h"
#include "tests/support/fakeshell.h"
#include "tests/support/testfolder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// A main window wired as the program wires it, in a program folder of the test's own, with the
// desktop and the modal boxes stood in for.
struct LockerFixture {
    explicit LockerFixture(const QString &folderName = QStringLiteral("Tarvolen"))
        : folder(folderName), window(folder.programFolder(), dialogs, shell) {
        connectCommands(window);
        connectEntry(window);
        connectEngine(window);
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

    // From a stored password through the whole unlock sequence to the open locker.
    void openLocker() {
        folder.setSetting(QStringLiteral("Psetting"), MakeCode(QStringLiteral("secret")));
        shipScript(QStringLiteral("dzentil.kqx"), QStringLiteral("decrypted"));
        start();
        window.Password->setText(QStringLiteral("secret"));
        window.Ok->click();
        QVERIFY(tickToTheEnd(D_Timer_Timer, *window.D_Label));
    }

    TestFolder folder;
    FakeDialogs dialogs;
    FakeShell shell;
    LockerWindow window;
};
