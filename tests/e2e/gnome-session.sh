#!/bin/bash
# Runs the installed Tarvolen, with the locker open, under a real GNOME session manager
# (gnome-session --builtin, a session of openbox alone on Xvfb, with a private session bus and a
# private system bus of its own): the inhibition is seen (IsInhibited), and Logout(1) brings the
# exit menu, where "Cancel" keeps the session and "Lock Folder and Exit" locks and lets the
# session end. Once over XSMP (SESSION_MANAGER set, as on X11), once over D-Bus alone (as on
# Wayland), where a forced Logout(2) ends Tarvolen and its guard locks. Run by hand; not part of
# ./test.sh. Pictures land in build/gnome-session/.
# Usage: tests/e2e/gnome-session.sh [build folder]   (build/test by default, built if need be)
set -euo pipefail
cd "$(dirname "$0")/../.."
road=${KDE_ROAD:-gnome-session} # kde.sh takes the same start, with packages and pictures of its own
if [ -z "${GNOME_CHECK_BUS:-}" ]; then
    scripts/install-deps.sh "$road"
    GNOME_CHECK_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
build=$(realpath "${1:-build/test}")
out=$PWD/build/$road
rm -rf "$out" && mkdir -p "$out"
cmake --build "$build" -j 2 --target Tarvolen Uninstall zentil >/dev/null

# The program refuses a folder whose path contains "temp", in any letter case.
work=$(mktemp -d /var/tmp/tarvolen-gnome-XXXXXX)
program=$work/Tarvolen
xvfb="" system_bus="" session="" tarvolen=""
cleanup() {
    for pid in $tarvolen $session $system_bus $xvfb; do kill "$pid" 2>/dev/null || true; done
    fusermount3 -u -z "$work/run/doc" 2>/dev/null || true # the document portal's, mounted until the bus ends
    rm -rf "$work"
}
trap cleanup EXIT
pictures=$out
. tests/e2e/session-helpers.sh
manager() {
    gdbus call --session --dest org.gnome.SessionManager --object-path /org/gnome/SessionManager \
        --method "org.gnome.SessionManager.$1" "${@:2}" 2>/dev/null
}
inhibited() { [ "$(manager IsInhibited 1)" = "(true,)" ]; }
running() { [ "$(manager IsSessionRunning)" = "(true,)" ]; }
menu_shown() { [ "$(xdotool search --onlyvisible --pid "$tarvolen" 2>/dev/null | wc -l)" -ge 2 ]; }
plain() { grep -q -x "note 1" "$program/Locker/1.txt"; }
locked() { [ "$(setting Files)" = 1 ] && ! grep -r -q -x -e "note [0-9]*" "$program/Locker"; }

mkdir -p "$work/config/gnome-session/sessions" "$work/bin" "$work/home"
cmake --install "$build" --prefix "$program" >/dev/null
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
printf '[GNOME Session]\nName=Tarvolen check\nRequiredComponents=openbox;\n' \
    >"$work/config/gnome-session/sessions/tarvolen.session"
# gnome-session asks the system bus for logind and the like: a private one answers nothing.
sed -e "s|<listen>.*</listen>|<listen>unix:path=$work/system_bus</listen>|" \
    -e '/<user>/d' -e '/<pidfile>/d' -e '/service\(helper\|dirs\)/d' /usr/share/dbus-1/system.conf \
    >"$work/system.conf"
dbus-daemon --config-file="$work/system.conf" --nofork --nosyslog 2>/dev/null &
system_bus=$!
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system_bus HOME=$work/home XDG_CONFIG_HOME=$work/config
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION WAYLAND_DISPLAY SESSION_MANAGER
[ "$road" = gnome-session ] || return 0 # kde.sh goes on from here, on XWayland's display
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
within 50 test -s "$work/display" || fail "no X server"
export DISPLAY=":$(head -n 1 "$work/display")"

[ -z "${GNOME_SHELL_ROAD:-}" ] || return 0 # gnome-shell.sh goes on from here
# Starts a session and, in it, Tarvolen with the locker open: over XSMP where the first
# argument is "xsmp", over D-Bus alone otherwise.
start() {
    gnome-session --builtin --session=tarvolen >>"$work/gnome-session.log" 2>&1 &
    session=$!
    within 100 running || fail "gnome-session did not start"
    local manager_address=""
    if [ "$1" = xsmp ]; then
        local openbox
        within 50 pgrep -P "$session" -x openbox >/dev/null || fail "no openbox"
        openbox=$(pgrep -P "$session" -x openbox | head -n 1)
        manager_address=$(tr '\0' '\n' <"/proc/$openbox/environ" | sed -n 's/^SESSION_MANAGER=//p')
    fi
    rm -f "$work/opened"
    SESSION_MANAGER=$manager_address PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb \
        "$program/Tarvolen" >>"$work/tarvolen.log" 2>&1 &
    tarvolen=$!
    open_locker
    within 50 inhibited || fail "IsInhibited(1) is false while the locker is open"
    echo "  IsInhibited(1) is true while the locker is open."
}

# Logout(1) brings the exit menu; the item is chosen by the number of steps down from the first.
logout_and_choose() {
    # Away from the window, as when the user logs out from the desktop's menu.
    xdotool mousemove 0 0
    manager Logout 1 >/dev/null || fail "Logout(1) was refused"
    within 50 menu_shown || fail "no exit menu"
    sleep 0.5
    import -window root "$out/$2.png"
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
}

cancel_keeps_the_session() {
    logout_and_choose 2 "$1-menu"
    sleep 5
    alive "$session" && alive "$tarvolen" && plain && ! menu_shown ||
        fail "Cancel did not keep the session ($1)"
    echo "  Logout(1), then Cancel: the session and the locker stay open."
}

lock_ends_the_session() {
    logout_and_choose 0 "$1-menu-again"
    within 300 locked || fail "the locker was not locked ($1)"
    within 100 ended "$tarvolen" || fail "Tarvolen did not end ($1)"
    within 200 ended "$session" || fail "the session did not end ($1)"
    echo "  Logout(1), then Lock Folder and Exit: the locker is locked, the session ends."
}

# Ends a session that a Cancel kept, and Tarvolen with it: its guard locks behind it.
end_session() {
    kill "$tarvolen" "$session" 2>/dev/null || true
    within 100 ended "$tarvolen" && within 100 ended "$session" || fail "the session did not end"
}

echo "Over XSMP, as GNOME on X11:"
start xsmp
cancel_keeps_the_session xsmp
lock_ends_the_session xsmp

echo "Over D-Bus alone, as GNOME on Wayland:"
start dbus
cancel_keeps_the_session dbus
end_session
start dbus
lock_ends_the_session dbus
start dbus
manager Logout 2 >/dev/null || fail "Logout(2) was refused"
within 100 ended "$tarvolen" || fail "a forced logout did not end Tarvolen"
within 300 locked || fail "the guard did not lock after a forced logout"
echo "  Logout(2), forced: Tarvolen ends at once, and its guard locks the locker."
echo "PASS: the end of a GNOME session. Pictures: $out"
