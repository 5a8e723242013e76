#include "locker/engine/lock.h"

#include "locker/engine/cipherscripts.h"
#include "locker/engine/sequence.h"
#include "locker/engine/sessionend.h"
#include "locker/window/captions.h"
#include "locker/window/changelabel.h"
#include "locker/window/lockerwindow.h"
#include "locker/window/progress.h"
#include "platform/gui/dialogs.h"

#include <QLabel>
#include <QTimer>

namespace {

// An empty locker folder is removed, so that it is recorded as having nothing locked.
void removeEmptyLocker(LockerWindow &w) {
    const QString locker = w.path(QStringLiteral("Locker"));
    if (isEmptyDirectory(locker))
        removeDirectory(locker);
}

// After a run that encrypted every file. A locker that stays empty (a link to a folder
// elsewhere, say) has nothing locked.
void recordLocked(LockerWindow &w) {
    const QString locker = w.path(QStringLiteral("Locker"));
    w.settings().setFilesEncrypted(pathExists(locker) && !isEmptyDirectory(locker));
}

// The files are not all encrypted, and the program ends all the same. A run still at work is
// no longer followed.
void endUnencrypted(LockerWindow &w) {
    w.cipherRun.reset();
    w.settings().setFilesEncrypted(false);
    w.QuitFlag = 1;
    w.E_Label->setText(Caption::CounterDone);
    w.UnloadAll();
}

// The encrypt script could not be started.
void failLocking(LockerWindow &w) {
    reportMissingScript(w, *w.E_Timer, kEncryptScript.shipped,
                        QStringLiteral("Quiting without encryption, see help"));
    endUnencrypted(w);
}

// Shown once the encrypt run has ended with every file encrypted; true when it appears now.
bool announceLocked(LockerWindow &w) {
    if (!w.cipherRun || !w.cipherRun->succeeded() || w.Label1->text() == Caption::FilesLocked)
        return false;
    w.announceHeading(Caption::FilesLocked);
    return true;
}

} // namespace

void lock_Click(LockerWindow &w) {
    removeEmptyLocker(w);
    // Until the run has encrypted every file they are readable, and recorded so: a program and a
    // run cut short leave no claim that they are encrypted.
    w.settings().setFilesEncrypted(false);
    w.enterBusyLocking();
    prepareScript(w.programFolder(), kEncryptScript);
    if (!w.E_Timer->isActive())
        w.E_Timer->start();
}

void E_Timer_Timer(LockerWindow &w) {
    const bool wasHeld = !w.Progress->isHidden();
    if (holdsLastStep(w, *w.E_Label))
        return;
    // After a run that outlasted its ticks, the success stands for a tick before the end.
    if (announceLocked(w) && wasHeld)
        return;
    advanceCounter(*w.E_Label);
}

void E_Label_Change(LockerWindow &w) {
    if (w.E_Label->text() == QLatin1String("1")) {
        w.cipherRun = startScript(w.programFolder(), kEncryptScript);
        if (!w.cipherRun)
            return failLocking(w);
        w.Label7->setText(QString::number(w.cipherRun->processId()));
        // Once the user has handed over to the uninstaller, the marker is the uninstaller's.
        if (w.QuitFlag != 1)
            w.settings().setRemovalRequested(false);
    }
    keepTimerWhileStarted(*w.E_Timer, w.Label7->text().toLongLong());
    // The shell has the script by now; a copy that someone else removed first fails the run,
    // whose end tells of it.
    if (w.E_Label->text().toInt() == 3)
        removeScript(w.programFolder(), kEncryptScript);
    if (w.E_Label->text() == Caption::CounterDone) {
        w.E_Timer->stop();
        // No run to follow here means that a failure has already ended the sequence.
        if (w.cipherRun) {
            if (!w.cipherRun->succeeded()) {
                reportFailedRun(w, *w.cipherRun, QStringLiteral("encrypted"),
                                QStringLiteral("readable"));
                return endUnencrypted(w);
            }
            recordLocked(w);
        }
        w.UnloadAll();
    }
}

// Only a Yes leaves the files readable, so a slip of the Enter key answers No. The user's choice
// lets go of the session: nothing is to lock behind the program.
void nolock_Click(LockerWindow &w) {
    w.settings().setFilesEncrypted(false);
    const auto answer = w.dialogs().message(
        &w, QStringLiteral("Your files will not be encrypted.\r\nAre you sure?"),
        QStringLiteral("Please note"), Dialogs::Buttons::YesNoDefaultNo);
    if (answer == Dialogs::Answer::Yes) {
        releaseSession(w);
        w.QuitFlag = 1;
        w.UnloadAll();
    }
}
