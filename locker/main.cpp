// Tarvolen: the main program. Wiring only.
#include "common/commandline.h"
#include "locker/entry/addtomenu.h"
#include "locker/entry/startup.h"
#include "locker/entry/wiring.h"
#include "locker/window/fonts.h"
#include "locker/window/lockerwindow.h"
#include "platform/core/files.h"
#include "platform/core/menuentry.h"
#include "platform/core/programfolder.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/shell.h"
#include "platform/gui/singleinstance.h"
#include "platform/gui/windowsystem.h"

#include <QApplication>

int main(int argc, char **argv) {
    if (const auto exitCode = answerCommandLine(
            argc, argv, "Tarvolen",
            "[--help | --version | --add-to-menu]\nKeeps the Locker folder beside this program "
            "behind a password.\n--add-to-menu adds this program to the desktop's application "
            "menu.",
            {"--add-to-menu"}, OwnArguments::Optional))
        return *exitCode;
    if (argc == 2) {
        // Answered from a terminal without a display: no window system is needed.
        const QCoreApplication core(argc, argv);
        return addToMenu(runningProgramFolder());
    }
    chooseWindowSystem();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolen"));
    QApplication::setApplicationVersion(QStringLiteral(TARVOLEN_VERSION));

    const QString programFolder = runningProgramFolder();
    QGuiApplication::setDesktopFileName(applicationIdOf(programFolder));
    QtDialogs dialogs(titleBarFont());
    // A second start on this folder changes nothing: it hands over to the running one.
    SingleInstance instance(programFolder);
    if (!instance.isFirst()) {
        if (!instance.bringFirstToFront())
            dialogs.message(nullptr,
                            QStringLiteral("Tarvolen is already running from this folder."),
                            QStringLiteral("Tarvolen v3.0"), Dialogs::Buttons::Ok);
        return 0;
    }
    // The uninstaller refuses to delete this program file while the lock is held.
    holdInUseLock(QApplication::applicationFilePath());

    loadBundledFonts(programFolder);
    DesktopShell shell;
    LockerWindow window(programFolder, dialogs, shell);
    connectHandlers(window);
    QObject::connect(&instance, &SingleInstance::frontRequested, &window,
                     &LockerWindow::bringToFront);

    Form_Load(window);
    if (window.isUnloaded())
        return 0;
    const RunningEntry entry(programFolder, programIcon());
    window.show();
    return QApplication::exec();
}
