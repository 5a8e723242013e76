#pragma once

#include <QString>

// Tarvolen --add-to-menu: writes the application menu's entry for this program folder and says
// on standard output what it wrote, or on standard error why not. Needs no display. Returns the
// exit code: 0 when the entry is written, else 1.
int addToMenu(const QString &programFolder);

// While it lives, a program started on a GNOME desktop without an entry in the menu has a hidden
// one: GNOME Shell finds a program only through its entry, to name it with its reason in the
// logout dialog (else it lists nothing and the user is not told that the locker is locked
// first), and to name and show its window in the top bar and the dock. The hidden entry goes
// with this object; one that a killed program left is replaced at the next start on GNOME and
// removed at the next start anywhere else. A listed entry is never touched.
class RunningEntry {
public:
    explicit RunningEntry(const QString &programFolder);
    ~RunningEntry();
    RunningEntry(const RunningEntry &) = delete;
    RunningEntry &operator=(const RunningEntry &) = delete;

private:
    QString m_programFolder;
};
