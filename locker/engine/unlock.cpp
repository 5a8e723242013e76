#include "locker/engine/unlock.h"

#include "locker/engine/cipherscripts.h"
#include "locker/engine/sequence.h"
#include "locker/engine/sessionend.h"
#include "locker/window/changelabel.h"
#include "locker/window/commands.h"
#include "locker/window/lockerwindow.h"

#include <QLabel>
#include <QTimer>

namespace {

// The decrypt script could not be started. The recorded locker state stays as it was: nothing
// was decrypted.
void failUnlocking(LockerWindow &w) {
    reportMissingScript(w, *w.D_Timer, kDecryptScript.shipped,
                        QStringLiteral("Quiting without decryption, see help."));
    w.QuitFlag = 1;
    w.UnloadAll();
}

// The decrypt run has ended. The locker opens whatever it did; after a success its files are
// recorded as accessible, so that a crash from here on leaves no claim that they are encrypted.
// The window is in the locker menu before the desktop is asked, so that a box about a desktop
// that cannot open the folder finds the sequence over.
void openLocker(LockerWindow &w) {
    makeDirectory(w.path(QStringLiteral("Locker")));
    w.enterLockerMenu();
    w.D_Timer->stop();
    const std::unique_ptr<ScriptRun> run = std::move(w.cipherRun);
    if (run->succeeded())
        w.settings().setFilesEncrypted(false);
    else
        reportFailedRun(w, *run, QStringLiteral("decrypted"), QStringLiteral("encrypted"));
    OpenLocker_Click(w);
}

} // namespace

void startUnlocking(LockerWindow &w) {
    w.enterBusyUnlocking();
    prepareScript(w.programFolder(), kDecryptScript);
    w.D_Timer->start();
}

void D_Timer_Timer(LockerWindow &w) {
    if (holdsLastStep(w, *w.D_Label))
        return;
    advanceCounter(*w.D_Label);
}

void D_Label_Change(LockerWindow &w) {
    if (w.D_Label->text() == QLatin1String("1")) {
        w.cipherRun = startScript(w.programFolder(), kDecryptScript);
        if (!w.cipherRun)
            return failUnlocking(w);
        w.Label6->setText(QString::number(w.cipherRun->processId()));
        // From its first file on the locker is open: the session is held until the program ends.
        holdSession(w);
        w.settings().setRemovalRequested(false);
    }
    keepTimerWhileStarted(*w.D_Timer, w.Label6->text().toLongLong());
    // The run has ended by now, and its end tells what it did: a copy that someone else removed
    // meanwhile is no failure of it.
    if (w.D_Label->text().toInt() == 4) {
        removeScript(w.programFolder(), kDecryptScript);
        openLocker(w);
    }
}
