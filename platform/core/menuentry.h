#pragma once

#include <QByteArray>
#include <QString>

// The desktop's application menu lists a program through a desktop entry, a file in
// ${XDG_DATA_HOME:-$HOME/.local/share}/applications. Each program folder has an entry and an icon
// of its own, named after a hash of the folder's path: two folders are two entries, and the
// uninstaller of one removes only its own.
struct MenuEntry {
    QString entry;
    // The picture the entry shows. The program's icon lives only inside the program, so it is
    // written out beside the user's other icons, where it stays when the program folder is on
    // a stick that is not plugged in.
    QString icon;
};
MenuEntry menuEntryOf(const QString &programFolder);

// The entry's file name without ".desktop": the name by which the desktop knows the running
// program of programFolder (its application id), so that a shell, a dock or a window list finds
// the entry, its name and its icon for the window.
QString applicationIdOf(const QString &programFolder);

// A listed entry is the menu's; a hidden one the menu leaves out, and a shell still finds the
// running program's name and icon through it.
enum class Listing { Listed, Hidden };

// Writes the entry that starts the Tarvolen of programFolder, and its icon from the PNG data
// icon, making the folders they go in. Returns the path that could not be written, or an empty
// string when both are written.
QString addMenuEntry(const QString &programFolder, const QByteArray &icon, Listing listing);

// Removes the entry and the icon of programFolder; either may be absent.
void removeMenuEntry(const QString &programFolder);

// Removes them only while the entry is a hidden one.
void removeHiddenMenuEntry(const QString &programFolder);

// While it lives, a program on a GNOME desktop that is not in the menu has a hidden entry: GNOME
// Shell finds a program only through its entry, to list it with its reason in the logout dialog
// (without one it lists nothing, and the user is not told that the locker is locked first), and
// to name and show its window in the top bar and the dock. One that a killed program left is
// taken over as it is on GNOME and removed elsewhere. A listed entry is never touched.
class RunningEntry {
public:
    RunningEntry(const QString &programFolder, const QByteArray &icon);
    ~RunningEntry();
    RunningEntry(const RunningEntry &) = delete;
    RunningEntry &operator=(const RunningEntry &) = delete;

private:
    QString m_programFolder;
};
