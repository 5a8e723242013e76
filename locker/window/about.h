#pragma once

#include <QPointer>
#include <QWidget>

class LockerWindow;
class QFrame;
class QLabel;
class QPushButton;

// The About window: a word from the makers, a picture and a remark. Not modal and without an
// owner; it is destroyed when it closes and made afresh the next time.
class About : public QWidget {
    Q_OBJECT
public:
    explicit About(LockerWindow &main);

    QFrame *Frame1;
    QLabel *Label1;
    QLabel *Picture1;
    QLabel *Label2;
    QPushButton *Command1;

protected:
    // Escape closes it, as it closes a dialog.
    void keyPressEvent(QKeyEvent *event) override;
    // Whatever closes it hands the keyboard focus back to the main window's password box.
    void closeEvent(QCloseEvent *event) override;

private:
    // Held loosely: the main window may be gone before this one closes.
    QPointer<LockerWindow> m_main;
};
