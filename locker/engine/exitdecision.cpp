#include "locker/engine/exitdecision.h"

#include "locker/engine/lock.h"
#include "locker/engine/sessionend.h"
#include "locker/window/captions.h"
#include "locker/window/changelabel.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/shell.h"

#include <QLabel>

namespace {

// The program ends whatever the exit menu said (the Uninstall command). Only a confirmed "Exit
// without Locking" lets go of the session hold; any other answer, a dismissed menu or one that
// never showed, locks first.
void lockUnlessLeftOpen(LockerWindow &w) {
    if (w.QuitFlag == 1 && w.sessionHold && !lockingUnderWay(w))
        lock_Click(w);
}

// The user confirmed the Uninstall command, whose marker stays set until the uninstaller reads it.
// It starts as this program ends, once the locker is locked: its question then meets no window of
// ours to take the focus from, and its removal no running Tarvolen.
void handOverToUninstaller(LockerWindow &w) {
    if (w.settings().removalMarker() == RemovalMarker::Requested)
        w.shell().startProgram(w.path(QStringLiteral("Uninstall")), QStringLiteral("/"));
}

} // namespace

int Form_Unload(LockerWindow &w) {
    // The run encrypts the files whatever is answered now: the window waits for it, as it waits
    // while the locker is being opened.
    if (lockingUnderWay(w))
        return 1;
    int cancel = 0;
    // The decrypt script is running and the locker not yet open.
    if (w.Label1->text() == Caption::PleaseWait)
        cancel = 1;
    // The locker is open and not yet locked: offer to lock it. A chosen item has done its work
    // when the menu returns.
    if (lockerOpen(w)) {
        w.dialogs().popupMenu(*w.mnuexit);
        lockUnlessLeftOpen(w);
        cancel = 1;
    }
    if (lockingUnderWay(w))
        return 1;
    if (w.E_Label->text() == Caption::CounterDone || w.QuitFlag == 1) {
        cancel = 0;
        releaseSession(w);
        if (w.QuitFlag == 1)
            handOverToUninstaller(w);
        w.UnloadAll();
    }
    return cancel;
}

bool lockerOpen(const LockerWindow &w) {
    return w.D_Label->text() == Caption::CounterDone && w.E_Label->text() != Caption::CounterDone;
}

bool lockingUnderWay(const LockerWindow &w) {
    const QString heading = w.Label1->text();
    return (heading == Caption::LockingInProgress || heading == Caption::FilesLocked) &&
           w.E_Label->text() != Caption::CounterDone;
}

void ExitProgram_Click(LockerWindow &w) {
    w.UnloadAll();
}
