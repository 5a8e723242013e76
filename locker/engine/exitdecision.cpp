#include "locker/engine/exitdecision.h"

#include "locker/engine/sessionend.h"
#include "locker/window/captions.h"
#include "locker/window/changelabel.h"
#include "locker/window/lockerwindow.h"
#include "locker/window/progress.h"
#include "platform/gui/dialogs.h"

#include <QLabel>

int Form_Unload(LockerWindow &w) {
    int cancel = 0;
    // The decrypt script is running and the locker not yet open.
    if (w.Label1->text() == Caption::PleaseWait)
        cancel = 1;
    // The locker is open and not yet locked: offer to lock it. A chosen item has done its work
    // when the menu returns. While a cipher run that outlasted its ticks still goes on, though,
    // neither locking again nor leaving without locking can be honoured.
    const bool runOverdue = !w.Progress->isHidden();
    if (runOverdue) {
        cancel = 1;
    } else if (w.D_Label->text() == Caption::CounterDone &&
               w.E_Label->text() != Caption::CounterDone) {
        w.dialogs().popupMenu(*w.mnuexit);
        cancel = 1;
    }
    if (w.E_Label->text() == Caption::CounterDone || w.QuitFlag == 1) {
        cancel = 0;
        releaseSession(w);
        w.UnloadAll();
    }
    return cancel;
}

void ExitProgram_Click(LockerWindow &w) {
    w.UnloadAll();
}
