#include "locker/entry/password.h"

#include "common/makecode.h"
#include "locker/engine/unlock.h"
#include "locker/window/captions.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/dialogs.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

// Opens the locker in place of the password while the Master Key switch is on.
const QString kMasterAccessCode = QStringLiteral("417093862");

void tell(LockerWindow &w, const QString &text, const QString &title) {
    w.dialogs().message(&w, text, title, Dialogs::Buttons::Ok);
}

void takeFirstEntry(LockerWindow &w) {
    w.FirstEntry = w.Password->text().toLower();
    w.enterConfirmPrompt();
}

// The two entries differ: both are asked for again, in the same form (first run or change).
void rejectMismatch(LockerWindow &w) {
    tell(w,
         QStringLiteral("Confirmation Failed. Password not matched.\r\n"
                        "Please Set the Password Again."),
         QStringLiteral("Confirmation Failed"));
    w.enterNewPasswordPromptAgain();
}

// The store refused the new password. Going on would open a first locker with no password
// stored, which the cipher needs to lock it again; so both entries are asked for again, and a
// change keeps the password that was in force.
void reportUnsavedPassword(LockerWindow &w) {
    tell(w, QStringLiteral("The password could not be saved.\r\nNothing was changed."),
         QStringLiteral("Password not saved"));
    w.enterNewPasswordPromptAgain();
}

void takeSecondEntry(LockerWindow &w) {
    w.SecondEntry = w.Password->text().toLower();
    if (w.SecondEntry != w.FirstEntry)
        return rejectMismatch(w);
    if (!w.settings().setPassword(MakeCode(w.SecondEntry)))
        return reportUnsavedPassword(w);
    // A change keeps the locker open; a first password opens it.
    if (w.Cancel->text() == Caption::CancelBack)
        w.enterLockerMenu();
    else
        startUnlocking(w);
}

// The typed text is encoded as typed: MakeCode folds only A to Z, so other letters must be
// typed in the lower case in which they were stored.
bool accessGranted(LockerWindow &w, const QString &text, bool masterKeyOn) {
    return MakeCode(text) == w.settings().password() || (text == kMasterAccessCode && masterKeyOn);
}

void verify(LockerWindow &w, bool masterKeyOn) {
    if (accessGranted(w, w.Password->text(), masterKeyOn))
        return startUnlocking(w);
    tell(w, QStringLiteral("Access Denied, Invalid Password"), QStringLiteral("Protection"));
    w.clearPassword();
}

} // namespace

void Ok_Click(LockerWindow &w) {
    const bool masterKeyOn = w.settings().masterKeyOn();
    if (w.Password->text().isEmpty()) {
        tell(w, QStringLiteral("Please enter Password"), QStringLiteral("Excuse me"));
        w.focusPassword();
        return;
    }
    const QString mode = w.Ok->text();
    const QString form = w.Cancel->text();
    if (mode == Caption::OkSet)
        takeFirstEntry(w);
    else if (mode == Caption::OkConfirm &&
             (form == Caption::CancelBack || form == Caption::CancelExit))
        takeSecondEntry(w);
    else if (mode == Caption::OkVerify)
        verify(w, masterKeyOn);
}

void Password_KeyPress(LockerWindow &w, int KeyAscii) {
    if (KeyAscii == 13)
        Ok_Click(w);
}
