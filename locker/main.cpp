// Tarvolen: the main program. Wiring only.
#include "locker/engine/wiring.h"
#include "locker/entry/startup.h"
#include "locker/entry/wiring.h"
#include "locker/window/commands.h"
#include "locker/window/fonts.h"
#include "locker/window/lockerwindow.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/programfolder.h"
#include "platform/shell.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolen"));
    QApplication::setApplicationVersion(QStringLiteral(TARVOLEN_VERSION));
    // The uninstaller refuses to delete this program file while the lock is held.
    holdInUseLock(QApplication::applicationFilePath());

    const QString programFolder = runningProgramFolder();
    loadBundledFonts(programFolder);

    QtDialogs dialogs;
    DesktopShell shell;
    LockerWindow window(programFolder, dialogs, shell);
    connectCommands(window);
    connectEntry(window);
    connectEngine(window);

    Form_Load(window);
    if (window.isUnloaded())
        return 0;
    window.show();
    return QApplication::exec();
}
