// Uninstall: removes Tarvolen's files and settings from the folder it lies in. It has no window
// of its own and speaks only through message boxes.
#include "common/commandline.h"
#include "platform/core/programfolder.h"
#include "platform/gui/dialogs.h"
#include "uninstall/uninstaller.h"

#include <QApplication>

int main(int argc, char **argv) {
    if (const auto exitCode = answerCommandLine(argc, argv, "Uninstall",
                                                "[--help | --version]\nRemoves Tarvolen's files "
                                                "and settings from the folder it lies in, never "
                                                "the Locker folder."))
        return *exitCode;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Uninstall"));
    QApplication::setApplicationVersion(QStringLiteral(TARVOLEN_VERSION));
    QtDialogs dialogs;
    runUninstall(runningProgramFolder(), dialogs);
    return 0;
}
