#pragma once

#include "common/foldersettings.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class ChangeLabel;
class RunProgress;
class ScriptRun;
class SessionHold;
class Dialogs;
class Shell;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

// The main window of Tarvolen. Its mode lives in the captions of its controls (see captions.h);
// the handlers that move it between its states live beside it (commands), in locker/entry and in
// locker/engine, and reach the controls by their names.
class LockerWindow : public QWidget {
    Q_OBJECT
public:
    LockerWindow(const QString &programFolder, Dialogs &dialogs, Shell &shell);
    ~LockerWindow() override;

    QString programFolder() const { return m_programFolder; }
    // A file of the program folder: path("Locker") is <program folder>/Locker.
    QString path(const QString &name) const;
    // This installation's settings.
    FolderSettings settings() const { return FolderSettings(m_programFolder); }
    Dialogs &dialogs() const { return m_dialogs; }
    Shell &shell() const { return m_shell; }

    // Closes the About window if it is open, then this window; the close goes through the close
    // decision, which may refuse it. Closing a closed window does nothing.
    void UnloadAll();
    // The close decision: returns the cancel value, non-zero to refuse the close. Set up by the
    // locking engine; while it runs, further close requests are left to it.
    std::function<int()> Form_Unload;
    // True once the window has been closed, until it is shown again.
    bool isUnloaded() const { return m_unloaded; }
    // Shows the window, restored (if it was minimized or closed), in front and active: a later
    // start of the program asks for it, and so does the end of the session before it asks.
    void bringToFront();

    // Moves the keyboard focus into Password, unless the box is hidden.
    void focusPassword();
    // Empties Password and gives it the focus.
    void clearPassword();

    // The status line (Label3), which the password box carries as its description; the heading
    // (Label1) is its label and so its name.
    void setStatus(const QString &text);
    // Sets the heading and has a screen reader say it at once. A change of the box's name alone
    // goes unheard: Qt 6.4 sends the object, not the new name, with the notice, which Orca 43
    // cannot read.
    void announceHeading(const QString &caption);

    // The About window, while it is open.
    QPointer<QWidget> about;

    // The states of the window. Each makes exactly the settings of its transition.
    void showFirstRunForm();
    void enterConfirmPrompt();
    void enterNewPasswordPromptAgain();
    void enterBusyUnlocking();
    void enterLockerMenu();
    void enterChangeForm();
    void enterBusyLocking();

    // Lets the window close without locking.
    int QuitFlag = 0;
    // The two entries of a new password, kept until the next entry of their kind.
    QString FirstEntry;
    QString SecondEntry;

    QLabel *Label1;
    QLineEdit *Password;
    QPushButton *Ok;
    QPushButton *Cancel;
    QPushButton *Help;
    QLabel *Label3;
    QPushButton *OpenLocker;
    QPushButton *ExitProgram;
    QLabel *Label2;
    QPushButton *ChangePassword;
    QPushButton *Uninstall;
    QPushButton *Command1;
    QLabel *Label4;
    QCheckBox *MasterCheck;
    QLabel *MasterLabel;
    // Never shown: the tick counters of the unlock and lock sequences and the process ids of
    // the scripts they started.
    ChangeLabel *D_Label;
    ChangeLabel *E_Label;
    QLabel *Label6;
    QLabel *Label7;
    QTimer *D_Timer;
    QTimer *E_Timer;
    // The cipher run that the unlock or the lock sequence started, followed until it has ended,
    // and how far it is, shown while it outlasts the ticks given to it.
    std::unique_ptr<ScriptRun> cipherRun;
    RunProgress *Progress;
    // Held while the locker is open, so that the end of the session never leaves it open without
    // the user's choice.
    std::unique_ptr<SessionHold> sessionHold;

    // The exit menu, only ever shown as a pop-up.
    QMenu *mnuexit;
    QAction *lock;
    QAction *nolock;
    QAction *h1;
    QAction *mnuCancel;

signals:
    void Form_Activate();
    void Form_GotFocus();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void createPromptGroup();
    void createMenuGroup();
    void createAlwaysShown();
    void createEngineState();
    void createExitMenu();
    void setTabOrder();
    void setPromptButtonsVisible(bool visible);
    void setMenuGroupVisible(bool visible);
    // Before the focused control is hidden: otherwise the focus would move along the Tab chain
    // to whatever control comes next, and a screen reader would announce that one.
    void parkFocus();

    QString m_programFolder;
    Dialogs &m_dialogs;
    Shell &m_shell;
    QPixmap m_background;
    bool m_deciding = false;
    bool m_unloaded = false;
};
