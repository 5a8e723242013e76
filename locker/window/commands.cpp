#include "locker/window/commands.h"

#include "locker/window/about.h"
#include "locker/window/captions.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/shell.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

// Opens a file of the program folder in the desktop. A desktop with nothing to open it with
// (no file manager, no opener) is named to the user with the full path, so that they can find it
// themselves.
Shell::OpenResult openInDesktop(LockerWindow &w, const QString &name, const QString &title) {
    const QString path = w.path(name);
    const Shell::OpenResult result = w.shell().open(path);
    if (result == Shell::OpenResult::Failed)
        w.dialogs().message(&w, QStringLiteral("The desktop could not open\r\n") + path, title,
                            Dialogs::Buttons::Ok);
    return result;
}

} // namespace

// "Exit" ends the program from a prompt; "Back" abandons a change of password, keeping the
// stored one.
void Cancel_Click(LockerWindow &w) {
    if (w.Cancel->text() == Caption::CancelExit)
        w.UnloadAll();
    else if (w.Cancel->text() == Caption::CancelBack)
        w.enterLockerMenu();
}

// No old password is asked: the command is only shown while the locker is open.
void ChangePassword_Click(LockerWindow &w) {
    w.enterChangeForm();
}

// A missing folder opens nothing, and nothing is said.
void OpenLocker_Click(LockerWindow &w) {
    openInDesktop(w, QStringLiteral("Locker"), QStringLiteral("Open Locker"));
}

// Runs at every change of the box, by the user or by start-up; the greyed state stores nothing.
void MasterCheck_Click(LockerWindow &w) {
    const Qt::CheckState state = w.MasterCheck->checkState();
    if (state == Qt::Checked)
        w.settings().setMasterSwitch(true);
    else if (state == Qt::Unchecked)
        w.settings().setMasterSwitch(false);
}

void Help_Click(LockerWindow &w) {
    const QString title = QStringLiteral("Troubleshooting");
    if (openInDesktop(w, QStringLiteral("Readme.html"), title) == Shell::OpenResult::NotFound)
        w.dialogs().message(&w, QStringLiteral("Can't find Readme.html file."), title,
                            Dialogs::Buttons::Ok);
}

// Hands over to the uninstaller: the marker tells it that the user asked from here. The close
// that follows offers the exit menu while the locker is open, and then goes ahead whatever is
// chosen; the uninstaller starts as the program ends.
void Uninstall_Click(LockerWindow &w) {
    const auto answer =
        w.dialogs().message(&w,
                            QStringLiteral("Do you really want to uninstall Tarvolen.\r\n"
                                           "Your personal locker folder will not be deleted.\r\n"
                                           "Are you sure?"),
                            QStringLiteral("Uninstall"), Dialogs::Buttons::YesNo);
    if (answer != Dialogs::Answer::Yes) {
        w.settings().setRemovalRequested(false);
        return;
    }
    w.settings().setRemovalRequested(true);
    w.QuitFlag = 1;
    w.UnloadAll();
}

// One About window: a second click brings the open one to the front.
void Command1_Click(LockerWindow &w) {
    if (!w.about)
        w.about = new About(w);
    w.about->show();
    w.about->raise();
    w.about->activateWindow();
}

void connectCommands(LockerWindow &w) {
    const auto onClick = [&w](QPushButton *button, void (*handler)(LockerWindow &)) {
        QObject::connect(button, &QPushButton::clicked, &w, [&w, handler] { handler(w); });
    };
    onClick(w.Cancel, Cancel_Click);
    onClick(w.ChangePassword, ChangePassword_Click);
    onClick(w.OpenLocker, OpenLocker_Click);
    onClick(w.Help, Help_Click);
    onClick(w.Uninstall, Uninstall_Click);
    onClick(w.Command1, Command1_Click);
    QObject::connect(w.MasterCheck, &QCheckBox::stateChanged, &w, [&w] { MasterCheck_Click(w); });
}
