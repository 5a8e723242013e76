#!/bin/bash
# Drives the installed Tarvolen under Xvfb with xdotool, as a person would, from the first start
# to the uninstall, and checks what a person would check: the windows and boxes that appear, the
# files on disk and the settings. Usage: road.sh <build folder>
set -euo pipefail

build=$(cd "$1" && pwd)
shots="$build/e2e-screenshots"
work=$(mktemp -d /tmp/tarvolen-road-XXXXXX)
program="$work/Tarvolen"
settings="$work/config/tarvolen/vemb.ini"
step=0

cleanup() {
    pkill -f "$program/" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    shot "failure"
    exit 1
}

shot() {
    step=$((step + 1))
    import -window root "$shots/$(printf %02d "$step")-$1.png" 2>/dev/null || true
}

# Waits up to 20 s for a window whose name matches exactly; prints its id.
window() {
    timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Types into the main window, which needs the keyboard focus: there is no window manager.
type_password() {
    xdotool windowfocus --sync "$main"
    xdotool type --delay 40 "$1"
    xdotool key Return
}

# Answers a message box with the given key once it has appeared.
answer() {
    local box
    box=$(window "$1")
    [ -n "$box" ] || fail "no box titled $1"
    sleep 0.3
    shot "box-$2"
    xdotool windowfocus --sync "$box" key "$2"
    gone "$1" || fail "box $1 did not close"
}

# Clicks a control of the main window at its place in the window (pixels from the top left).
click_at() {
    xdotool mousemove --window "$main" "$1" "$2" click 1
}

start_tarvolen() {
    XDG_CONFIG_HOME="$work/config" PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb \
        "$program/Tarvolen" >"$work/tarvolen.log" 2>&1 &
    tarvolen=$!
    main=$(window "Tarvolen v3.0")
    [ -n "$main" ] || fail "the main window did not appear"
    sleep 0.5
}

wait_for_end() {
    for _ in $(seq 100); do
        kill -0 "$tarvolen" 2>/dev/null || return 0
        sleep 0.1
    done
    fail "Tarvolen did not end"
}

setting() {
    sed -n "s/^$1=//p" "$settings" 2>/dev/null || true
}

rm -rf "$shots"
mkdir -p "$shots" "$work/bin"
cmake --install "$build" --prefix "$program" >/dev/null

# The desktop's opener stands in for a file manager: it notes what it was asked to open.
cat >"$work/bin/xdg-open" <<SH
#!/bin/sh
echo "\$1" >>"$work/opened"
SH
chmod +x "$work/bin/xdg-open"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"

echo "First start: the password set twice opens the locker."
start_tarvolen
shot "first-start"
type_password "Summer Rain"
shot "confirm"
type_password "summer rain"
shot "please-wait"
for _ in $(seq 60); do grep -q "Locker" "$work/opened" 2>/dev/null && break; sleep 0.1; done
grep -q "$program/Locker" "$work/opened" || fail "the locker was not opened"
[ -d "$program/Locker" ] || fail "no locker folder"
[ "$(setting Psetting)" = "l115l117l109l109l101l114l32l114l97l105l110" ] || fail "password not stored"
sleep 0.3
shot "locker-open"

echo "Files go in; Lock Folder and Exit encrypts them and ends the program."
head -c 300000 /dev/urandom >"$program/Locker/photo.bin"
printf 'Dear diary,\ntoday I locked my files.\n' >"$program/Locker/diary.txt"
mkdir -p "$program/Locker/letters"
printf 'a letter' >"$program/Locker/letters/to mum.txt"
(cd "$program/Locker" && find . -type f -exec md5sum {} + | sort) >"$work/sums"
click_at 128 68 # ExitProgram
sleep 0.5
shot "exit-menu"
xdotool key Down Return # Lock Folder and Exit
sleep 0.6
shot "locking"
wait_for_end
sleep 1
[ "$(setting Files)" = 1 ] || fail "Files is not 1 after locking"
grep -q "today I locked" "$program/Locker/diary.txt" && fail "the diary is still readable"
[ "$(head -c 6 "$program/Locker/letters/to mum.txt")" = ZENTIL ] || fail "a file was not encrypted"
[ ! -e "$program/e.bat" ] || fail "e.bat was left behind"

echo "A wrong password is refused; the right one opens the same files."
start_tarvolen
shot "files-encrypted"
# The window alone, as the README shows it.
import -window "$main" "$shots/window.png"
type_password "winter rain"
answer Protection Return
type_password "SUMMER RAIN"
for _ in $(seq 60); do [ "$(grep -c Locker "$work/opened")" -ge 2 ] && break; sleep 0.1; done
sleep 0.5
shot "reopened"
(cd "$program/Locker" && find . -type f -exec md5sum {} + | sort) | diff - "$work/sums" >/dev/null ||
    fail "the files are not as they were put in"

echo "Exit without Locking leaves them readable."
click_at 128 68
sleep 0.5
xdotool key Down Down Return # Exit without Locking
answer "Please note" alt+y
wait_for_end
[ "$(setting Files)" = 0 ] || fail "Files is not 0 after leaving without locking"
grep -q "today I locked" "$program/Locker/diary.txt" || fail "the diary was changed"

echo "Uninstall removes the program and its settings, never the locker."
start_tarvolen
type_password "summer rain"
sleep 2.5
shot "before-uninstall"
click_at 128 156 # Uninstall
answer Uninstall alt+y
sleep 0.4
shot "exit-menu-on-uninstall"
xdotool key Escape
wait_for_end
answer "Uninstall Confirmation" Return
answer "Uninstall Completed Sucessfully" Return
for file in Tarvolen zentil dzentil.kqx ezentil.kqx Readme.html Readme.txt Versions.txt d.bat e.bat; do
    [ ! -e "$program/$file" ] || fail "$file was not removed"
done
[ -z "$(setting Psetting)" ] || fail "the settings were not removed"
(cd "$program/Locker" && find . -type f -exec md5sum {} + | sort) | diff - "$work/sums" >/dev/null ||
    fail "the locker did not survive"
echo "The whole road passed."
