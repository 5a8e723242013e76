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

    // From a stored password through the whole unlock sequence to the open locker.
    void openLocker() {
        folder.setSetting(QStringLiteral("Psetting"), MakeCode(QStringLiteral("secret")));
        shipScript(QStringLiteral("dzentil.kqx"), QStringLiteral("decrypted"));
        start();
        window.Password->setText(QStringLiteral("secret"));
        window.Ok->click();
        for (int tick = 0; tick < 4; ++tick)
            D_Timer_Timer(window);
    }

    TestFolder folder;
    FakeDialogs dialogs;
    FakeShell shell;
    LockerWindow window;
};
