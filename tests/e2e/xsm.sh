#!/bin/bash
# The end of the session under a real XSMP session manager: xsm with openbox on Xvfb, and the
# installed Tarvolen, with the locker open, as a client of that session. A shutdown that lets
# clients ask brings the exit menu over the restored window, and "Cancel" keeps the session and
# the locker open; a shutdown "Immediately" (XSMP's Die) ends Tarvolen without a question, and
# the guard locks every file within seconds. Pictures land in xsm-screenshots/ of the build folder.
# Usage: xsm.sh <build folder>
set -euo pipefail
if [ -z "${XSM_SESSION_BUS:-}" ]; then
    XSM_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

build=$(cd "$1" && pwd)
shots=$build/xsm-screenshots
rm -rf "$shots" && mkdir -p "$shots"
# The programs refuse a folder whose path contains "temp", in any letter case.
while :; do
    work=$(mktemp -d /tmp/tarvolen-xsm-XXXXXX)
    case "${work,,}" in *temp*) rmdir "$work" ;; *) break ;; esac
done
program=$work/Tarvolen
xvfb="" xsm="" tarvolen=""
cleanup() {
    for pid in $tarvolen $xsm $xvfb; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
pictures=$shots
. "$(dirname "$0")/session-helpers.sh"
# Whether a process runs from the program folder's zentil, or with its lock script.
runs_from_folder() {
    local pid
    for pid in $(pgrep -x zentil) $(pgrep -x sh); do
        [ "$(readlink "/proc/$pid/exe")" = "$program/zentil" ] && return 0
        grep -q -F "$program/ezentil.kqx" "/proc/$pid/cmdline" 2>/dev/null && return 0
    done
    return 1
}
shown() { xdotool search --onlyvisible --name "^$1\$" | head -n 1; }
menu_shown() { [ "$(xdotool search --onlyvisible --pid "$tarvolen" 2>/dev/null | wc -l)" -ge 2 ]; }
locked() { [ "$(setting Files)" = 1 ]; }
# Clicks at a place given relative to the inside of the window with the given title.
click_in() { xdotool mousemove --window "$(shown "$1")" "$2" "$3" click 1; }
# xsm's Shutdown button pops up a menu, "With Checkpoint" above "Immediately".
shutdown_menu() {
    local xsm_window
    xsm_window=$(shown "xsm: .*")
    xdotool mousemove --window "$xsm_window" 140 50 mousedown 1 sleep 0.5 \
        mousemove --window "$xsm_window" 160 "$1" sleep 0.3 mouseup 1
}

mkdir -p "$work/home" "$work/config" "$work/bin"
cmake --install "$build" --prefix "$program" >/dev/null
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
# The session starts the window manager (not a client of the session) and tells its address.
cat >"$work/home/.xsmstartup" <<EOF
openbox --sm-disable
sh -c 'echo "\$SESSION_MANAGER" >$work/sm'
EOF

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
within 50 test -s "$work/display" || fail "no X server"
export DISPLAY=":$(head -n 1 "$work/display")" HOME=$work/home
xsm >"$work/xsm.log" 2>&1 &
xsm=$!
within 100 test -s "$work/sm" || fail "xsm started no session"

echo "Tarvolen joins the session, and a first password opens the locker."
SESSION_MANAGER=$(cat "$work/sm") ICEAUTHORITY=$HOME/.ICEauthority XDG_CONFIG_HOME=$work/config \
    PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb XDG_CURRENT_DESKTOP='' \
    "$program/Tarvolen" >"$work/tarvolen.log" 2>&1 &
tarvolen=$!
open_locker

echo "A shutdown that lets clients ask: the exit menu comes over the restored window; Cancel."
xdotool windowminimize --sync "$main"
shutdown_menu 75
within 50 shown Shutdown >/dev/null || fail "no Shutdown dialog"
click_in Shutdown 170 18
xdotool type road
click_in Shutdown 45 137
within 50 menu_shown || fail "no exit menu"
sleep 0.5
import -window root "$shots/exit-menu.png"
menu=$(xdotool search --onlyvisible --pid "$tarvolen" | grep -vx "$main" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$main" | sed 's/^/MAIN_/')"
eval "$(xdotool getwindowgeometry --shell "$menu")"
[ "$X" -ge "$MAIN_X" ] && [ $((X + WIDTH)) -le $((MAIN_X + MAIN_WIDTH)) ] &&
    [ "$Y" -gt "$MAIN_Y" ] && [ "$Y" -lt $((MAIN_Y + MAIN_HEIGHT)) ] ||
    fail "the menu at $X,$Y is not over the window at $MAIN_X,$MAIN_Y"
# The first item is active: two steps down reach Cancel, below the separator.
xdotool key Down Down Return
within 50 shown "Save Failure" >/dev/null || fail "xsm was not told that the shutdown was cancelled"
import -window root "$shots/cancelled.png"
sleep 1
alive "$xsm" && alive "$tarvolen" || fail "the session or Tarvolen ended"
grep -q -x "note 1" "$program/Locker/1.txt" || fail "the locker was locked"
xdotool key --window "$(shown "Save Failure")" Return

echo "Shutdown Immediately: Tarvolen ends at once and the guard locks the locker."
shutdown_menu 101
within 100 ended "$tarvolen" || fail "Tarvolen did not end"
within 100 ended "$xsm" || fail "the session did not end"
within 100 locked || fail "Files is not 1"
grep -r -a -q -x -e "note [0-9]*" "$program/Locker" && fail "a file was left readable"
within 100 eval '! runs_from_folder' || fail "the guard or zentil did not end"
echo "The session's end under xsm passed."
