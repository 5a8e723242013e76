// The window's states. Each function makes exactly the settings of one transition and nothing
// else; captions that a transition does not name keep what they had.
#include "locker/window/captions.h"
#include "locker/window/lockerwindow.h"
#include "locker/window/voice.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void LockerWindow::setPromptButtonsVisible(bool visible) {
    for (QWidget *control : {static_cast<QWidget *>(Ok), static_cast<QWidget *>(Cancel),
                             static_cast<QWidget *>(Help), static_cast<QWidget *>(Password)})
        control->setVisible(visible);
}

void LockerWindow::setMenuGroupVisible(bool visible) {
    for (QWidget *control :
         {static_cast<QWidget *>(OpenLocker), static_cast<QWidget *>(ExitProgram),
          static_cast<QWidget *>(ChangePassword), static_cast<QWidget *>(Uninstall),
          static_cast<QWidget *>(MasterCheck), static_cast<QWidget *>(MasterLabel),
          static_cast<QWidget *>(Label2)})
        control->setVisible(visible);
}

// No password stored yet: the first password is set. Cancel keeps "Exit", which tells this
// form from the change form.
void LockerWindow::showFirstRunForm() {
    Ok->setText(Caption::OkSet);
    Label1->setText(Caption::SetNewPassword);
}

void LockerWindow::enterConfirmPrompt() {
    Ok->setText(Caption::OkConfirm);
    announceHeading(Caption::EnterAgain);
    clearPassword();
}

void LockerWindow::enterNewPasswordPromptAgain() {
    Ok->setText(Caption::OkSet);
    Label1->setText(Caption::SetNewPassword);
    clearPassword();
}

// While Label1 reads "Please Wait..." the window refuses to close. Label3 keeps its message.
void LockerWindow::enterBusyUnlocking() {
    parkFocus();
    setPromptButtonsVisible(false);
    announceHeading(Caption::PleaseWait);
}

// The captions of Ok and Cancel stay as they are: a later change of password sets them again.
void LockerWindow::enterLockerMenu() {
    parkFocus();
    setPromptButtonsVisible(false);
    setMenuGroupVisible(true);
    Label3->hide();
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setText(Caption::MenuHeading);
    OpenLocker->setFocus();
    // The heading names the two pictures below it; what is new is that the locker is open.
    announce(*this, QStringLiteral("Locker open."));
}

void LockerWindow::enterChangeForm() {
    parkFocus();
    Ok->setText(Caption::OkSet);
    Label2->hide();
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setText(Caption::SetNewPassword);
    setPromptButtonsVisible(true);
    setMenuGroupVisible(false);
    Cancel->setText(Caption::CancelBack);
    Label3->show();
    setStatus(QStringLiteral("\r\nClick Back to Cancel"));
    // Last, so that a screen reader hears the box with its heading and status as they now are.
    clearPassword();
}

// Reached from the locker menu, or from the change form through the exit menu, in which case
// the prompt group stays as it was.
void LockerWindow::enterBusyLocking() {
    parkFocus();
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setMenuGroupVisible(false);
    announceHeading(Caption::LockingInProgress);
}
