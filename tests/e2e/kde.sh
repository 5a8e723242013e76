#!/bin/bash
# gnome-session.sh's start under Plasma 5.27 on Wayland as startplasma-wayland starts it: kwin_wayland (virtual
# output, XWayland) and ksmserver. Tarvolen, started without QT_QPA_PLATFORM, must be an X11 window on XWayland;
# KWin's Alt+F4 and a logout as Plasma's logout screen asks for it (org.kde.Shutdown) bring the exit menu; Cancel
# keeps the session and the open locker, "Lock Folder and Exit" locks every file before the session ends.
# Pictures through KWin's screenshot interface, in build/kde/. Usage: tests/e2e/kde.sh [build folder]
KDE_ROAD=kde . "$(dirname "$0")/gnome-session.sh"
call() { gdbus call --session --dest "org.kde.$1" --object-path "$2" --method "$3" "${@:4}" >/dev/null; }
shot() { # KWin gives pictures to the program whose menu entry names its interface (the entry below)
    "$work/bin/pictures" -c "import dbus, os; r, w = os.pipe(); dbus.SessionBus().get_object('org.kde.KWin',
        '/org/kde/KWin/ScreenShot2').CaptureActiveScreen({}, dbus.types.UnixFd(w), dbus_interface=
        'org.kde.KWin.ScreenShot2'); os.close(w); open('$work/shot', 'wb').write(os.fdopen(r, 'rb').read())" &&
        convert -size 1280x800 -depth 8 "bgra:$work/shot" "$out/$1.png" || fail "no picture ($1)"
}
choose() { # the exit menu's item so many steps below the first, once the menu is up
    within 50 menu_shown || fail "no exit menu ($2)"
    sleep 2 && menu_shown || fail "the exit menu did not stay ($2)"
    shot "$2"
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
}
session_on() { pgrep -x ksmserver -P "$session" >/dev/null; }

cp /usr/bin/kwin_wayland "$work/bin/" # the copy drops the file capability, which a container cannot grant
# KWin reads the first menu entry it finds for the calling program, and Python has one of its own
cp "$(readlink -f /usr/bin/python3)" "$work/bin/pictures"
mkdir -p "$work/home/data/applications" "$work/run" && chmod 700 "$work/run"
printf '[Desktop Entry]\nType=Application\nName=Pictures\nExec=%s\nX-KDE-DBUS-Restricted-Interfaces=%s\n' \
    "$work/bin/pictures" org.kde.KWin.ScreenShot2 >"$work/home/data/applications/pictures.desktop"
export XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/home/data XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland \
    KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
unset QT_QPA_PLATFORM DISPLAY
"$program/Tarvolen" --add-to-menu >/dev/null
"$work/bin/kwin_wayland" --virtual --xwayland --width 1280 --height 800 --socket wayland-tarvolen \
    --exit-with-session "ksmserver --no-lockscreen" >"$work/kwin.log" 2>&1 &
session=$!
within 300 session_on && within 100 compgen -G "$work/run/KSMserver__*" >/dev/null || fail "no ksmserver"
manager_file=$(compgen -G "$work/run/KSMserver__*") # ksmserver's address, named by XWayland's display
export WAYLAND_DISPLAY=wayland-tarvolen DISPLAY=:${manager_file##*__}
dbus-update-activation-environment --all # as startplasma does, for the programs that D-Bus starts
SESSION_MANAGER=$(head -n 1 "$manager_file") PATH="$work/bin:$PATH" "$program/Tarvolen" >"$work/tarvolen.log" 2>&1 &
tarvolen=$!
open_locker # finds the window among XWayland's X11 windows, or fails

xdotool mousemove 0 0 # XWayland's pointer off the window, as after a logout from the desktop's menu
call kglobalaccel /component/kwin org.kde.kglobalaccel.Component.invokeShortcut "Window Close"
choose 1 alt-f4-menu
sleep 1 && shot please-note && xdotool key Return # No, the default
sleep 2 && ! menu_shown && alive "$tarvolen" && plain || fail "the question's No did not keep the locker open"
call Shutdown /Shutdown org.kde.Shutdown.logout &
choose 2 logout-menu
sleep 5 && session_on && alive "$tarvolen" && plain && ! menu_shown || fail "Cancel did not keep the session"
call Shutdown /Shutdown org.kde.Shutdown.logout &
choose 0 logout-menu-again
locked_first() { locked || { session_on || fail "the session ended before the locking"; false; }; }
within 300 locked_first || fail "the locker was not locked"
within 100 ended "$session" && within 100 ended "$tarvolen" || fail "the session did not end"
echo "PASS: a logout under KDE Plasma on Wayland. Pictures: $out"
