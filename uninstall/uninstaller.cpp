#include "uninstall/uninstaller.h"

#include "common/foldersettings.h"
#include "common/temporaryfolder.h"
#include "platform/gui/dialogs.h"
#include "uninstall/removal.h"

namespace {

const QString kTitle = QStringLiteral("Uninstall");

void tell(Dialogs &dialogs, const QString &text, const QString &title) {
    dialogs.message(nullptr, text, title, Dialogs::Buttons::Ok);
}

// The main program hands over by setting Rmove to "in" before it starts the uninstaller. A
// folder with no password or no marker never ran the program far enough to say otherwise.
bool handedOver(const FolderSettings &settings) {
    const QString password = settings.password();
    const RemovalMarker marker = settings.removalMarker();
    return marker == RemovalMarker::Requested || marker == RemovalMarker::Absent ||
           password.isEmpty();
}

bool confirmed(Dialogs &dialogs) {
    return dialogs.message(nullptr,
                           QStringLiteral("Click Ok to confirm the uninstall\r\nAre you sure?"),
                           QStringLiteral("Uninstall Confirmation"),
                           Dialogs::Buttons::OkCancel) == Dialogs::Answer::Ok;
}

// The record of the locker is left as Tarvolen and zentil left it: they saw the files, the
// uninstaller has not (Tarvolen locks before it hands over, unless told not to).
void cancel(const FolderSettings &settings) {
    settings.setRemovalRequested(false);
}

} // namespace

void runUninstall(const QString &programFolder, Dialogs &dialogs) {
    if (IsTemporaryFolder(programFolder))
        return tell(dialogs, kUnzipFirstText, kUnzipFirstTitle);
    const FolderSettings settings(programFolder);
    if (!handedOver(settings))
        return tell(dialogs, QStringLiteral("Uninstall Tarvolen from within the program."), kTitle);
    if (!confirmed(dialogs))
        return cancel(settings);
    if (!removeProgram(programFolder))
        return tell(dialogs,
                    QStringLiteral("Please make sure, Tarvolen is not running and\r\n"
                                   "close other files too. Uninstall will not continue."),
                    kTitle);
    tell(dialogs,
         QStringLiteral("Tarvolen uninstalled sucessfully. You can manually\r\n"
                        "delete the following files.\r\n"
                        "\r\n"
                        "Uninstall\r\n"
                        "Your personal locker, if not needed."),
         QStringLiteral("Uninstall Completed Sucessfully"));
}
