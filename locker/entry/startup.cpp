#include "locker/entry/startup.h"

#include "common/temporaryfolder.h"
#include "locker/engine/cipherscripts.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/dialogs.h"

#include <QCheckBox>
#include <QLabel>

namespace {

// The status line; the two states stand on its middle line, the new-user hint takes two lines.
// A value it does not know leaves the line empty.
void showLockerState(LockerWindow &w, LockerFiles files) {
    if (files == LockerFiles::Absent)
        w.setStatus(QStringLiteral("Please read help if you\r\nare a new user."));
    else if (files == LockerFiles::Accessible)
        w.setStatus(QStringLiteral("\r\nFiles Accessable."));
    else if (files == LockerFiles::Encrypted)
        w.setStatus(QStringLiteral("\r\nFiles Encrypted."));
}

// Ticking the box stores the switch again through its own handler.
void setMasterKeyBox(LockerWindow &w, MasterSwitch master) {
    if (master == MasterSwitch::Absent) {
        w.settings().setMasterSwitch(true);
        w.MasterCheck->setChecked(true);
    } else if (master == MasterSwitch::On) {
        w.MasterCheck->setChecked(true);
    } else if (master == MasterSwitch::Off) {
        w.MasterCheck->setChecked(false);
    }
}

// Copies left by a run of the program that was killed. Only one program runs per folder, so no
// run of this one uses them, and a run that the killed one started no longer needs its copy: the
// shell reads it at once and hands over to the cipher program.
void removeLeftoverScripts(const QString &programFolder) {
    removeScript(programFolder, kDecryptScript);
    removeScript(programFolder, kEncryptScript);
}

} // namespace

void Form_Load(LockerWindow &w) {
    if (IsTemporaryFolder(w.programFolder())) {
        // The window has not been shown yet: the box stands on its own.
        w.dialogs().message(nullptr, kUnzipFirstText, kUnzipFirstTitle, Dialogs::Buttons::Ok);
        w.UnloadAll();
        return;
    }
    removeLeftoverScripts(w.programFolder());
    const FolderSettings settings = w.settings();
    const LockerFiles files = settings.files();
    const QString password = settings.password();
    const MasterSwitch master = settings.masterSwitch();

    if (password.isEmpty())
        w.showFirstRunForm();
    showLockerState(w, files);
    if (!password.isEmpty())
        settings.setRemovalRequested(false);
    setMasterKeyBox(w, master);
}

void Form_Activate(LockerWindow &w) {
    w.focusPassword();
}

void Form_GotFocus(LockerWindow &w) {
    w.focusPassword();
}
