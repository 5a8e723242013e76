#!/bin/bash
# Drives the installed Tarvolen under Xvfb with xdotool, as a person would, from the first start
# to the uninstall, and checks what a person would check: the captions and boxes on the screen
# (read through the accessibility bus), the files on disk and the settings.
# Usage: road.sh <build folder>
set -euo pipefail

# A private session bus carries the accessibility bus that widgets.py reads.
if [ -z "${ROAD_SESSION_BUS:-}" ]; then
    ROAD_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@" \
        > >(grep -v '^SpiRegistry') 2> >(grep -v -e 'fd limit' -e '^dbus-daemon\[' >&2)
fi

build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
shots="$build/e2e-screenshots"
# The programs refuse a folder whose path contains "temp", in any letter case.
while :; do
    work=$(mktemp -d /tmp/tarvolen-road-XXXXXX)
    case "${work,,}" in *temp*) rmdir "$work" ;; *) break ;; esac
done
program="$work/Tarvolen"
settings="$work/config/tarvolen/vemb.ini"
step=0

# The ids of the processes that run from the program folder (Tarvolen, Uninstall, zentil).
program_processes() {
    local exe
    for exe in /proc/[0-9]*/exe; do
        case "$(readlink "$exe" 2>/dev/null)" in
        "$program"/*) basename "$(dirname "$exe")" ;;
        esac
    done
}

end_programs() {
    local pid
    for pid in $(program_processes); do kill "$pid" 2>/dev/null || true; done
}

cleanup() {
    end_programs
    [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

shot() {
    step=$((step + 1))
    import -window root "$shots/$(printf %02d "$step")-$1.png" 2>/dev/null || true
}

fail() {
    echo "FAIL: $*" >&2
    shot "failure"
    exit 1
}

# Waits until the given texts are on the screen (see widgets.py for --not and --timeout).
see() {
    /usr/bin/python3 "$here/widgets.py" wait "$@" || fail "not on the screen as expected: $*"
}

# Waits up to 20 s for a window whose title matches exactly; prints its id, or nothing. A search
# fails outright when a window goes away under it (a menu closing): it is asked again.
window() {
    local id=""
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -z "$id" ] || break
        sleep 0.1
    done
    echo "$id"
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

# Answers the message box with the given title, showing the given text, by a key press.
answer() {
    local box
    box=$(window "$1")
    [ -n "$box" ] || fail "no box titled $1"
    see "$1" "$2"
    shot "box-${1// /-}"
    xdotool windowfocus --sync "$box" key "$3"
    gone "$1" || fail "box $1 did not close"
}

# Clicks the control with the given accessible name at the centre of the place that the
# accessibility bus reports for it. The optional second argument is the number of clicks: 2 is a
# double click, whose second click must not answer the box or menu that the first one opened.
click() {
    local place x y
    place=$(/usr/bin/python3 "$here/widgets.py" centre "$1") || fail "no control named $1"
    read -r x y <<<"$place"
    xdotool mousemove "$x" "$y" click --repeat "${2:-1}" --delay 80 1
}

# Chooses an item of the exit menu, which pops up at the pointer with its first item active, by
# the number of steps down from the first with the arrow keys.
# The menu is not among the widgets that widgets.py reads; it is told by the window it opens.
choose() {
    for _ in $(seq 50); do
        [ "$(xdotool search --onlyvisible --pid "$tarvolen" 2>/dev/null | wc -l)" -ge 2 ] && break
        sleep 0.1
    done
    [ "$(xdotool search --onlyvisible --pid "$tarvolen" | wc -l)" -ge 2 ] || fail "no exit menu"
    # The menu takes the keyboard a moment after it shows; a key pressed before then is lost, and
    # the road would choose the item above the one it wants.
    sleep 0.5
    shot "exit-menu"
    # It opens at the pointer, centred horizontally on it.
    local menu X Y WIDTH
    menu=$(xdotool search --onlyvisible --pid "$tarvolen" | grep -vx "$main" | head -n 1)
    eval "$(xdotool getmouselocation --shell)"
    local pointer_x=$X pointer_y=$Y
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    [ $((X + WIDTH / 2 - pointer_x)) -le 1 ] && [ $((pointer_x - X - WIDTH / 2)) -le 1 ] &&
        [ "$Y" -eq "$pointer_y" ] ||
        fail "the exit menu is at $X,$Y (width $WIDTH), the pointer at $pointer_x,$pointer_y"
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
}
lock_folder_and_exit=0
exit_without_locking=1
cancel=2 # below the separator

start_tarvolen() {
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" XDG_CURRENT_DESKTOP='' \
        PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        "$program/Tarvolen" >>"$work/tarvolen.log" 2>&1 &
    tarvolen=$!
    main=$(window "Tarvolen v3.0")
    [ -n "$main" ] || fail "the main window did not appear"
}

wait_for_end() {
    for _ in $(seq 100); do
        kill -0 "$tarvolen" 2>/dev/null || return 0
        sleep 0.1
    done
    fail "Tarvolen did not end within 10 s"
}

setting() {
    sed -n "s/^$1=//p" "$settings" 2>/dev/null || true
}

# Waits 5 s, or as many tenths of a second as the third argument says.
wait_for_setting() {
    for _ in $(seq "${3:-50}"); do
        [ "$(setting "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    fail "$1 is not $2 but '$(setting "$1")'"
}

# How often the file manager was asked to open the locker folder.
openings() {
    grep -c -x -e "$program/Locker" -e "file://$program/Locker" "$work/opened" 2>/dev/null || true
}

wait_for_opening() {
    for _ in $(seq 100); do
        [ "$(openings)" -ge "$1" ] && return 0
        sleep 0.1
    done
    fail "the file manager was not asked to open the locker folder"
}

# What a screen reader speaks for each control, besides what is drawn.
locker_menu=("    Open Locker          Lock" "    Change Key      Uninstall" "Master key on"
    --named "Open Locker" --named Lock --named "Change Key" --named Uninstall --named About
    --named "Master key")
prompt=(--not "    Open Locker          Lock" --not "Exit and Lock" --named About)

locker_sums() {
    (cd "$program/Locker" && find . -type f -exec md5sum {} + | sort)
}

# The zentil runs of this program folder (not those that other tests may run meanwhile).
zentil_runs() {
    local pid
    for pid in $(pgrep -x zentil); do
        [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$program/zentil" ] && echo "$pid"
    done
    return 0
}

# Runs the command every tenth of a second until it succeeds, at most the given number of times.
within() {
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

zentil_running() { [ -n "$(zentil_runs)" ]; }
zentil_ended() { [ -z "$(zentil_runs)" ]; }
wait_for_zentil() { within 100 zentil_running || fail "no zentil run started"; }
wait_for_no_zentil() { within 600 zentil_ended || fail "zentil did not end within a minute"; }

# Whether any of the many small files is still readable (each holds one line "note N").
plaintext_left() {
    grep -r -a -q -x -e "note [0-9]*" "$program/Locker/many"
}

rm -rf "$shots"
mkdir -p "$shots" "$work/bin" "$work/runtime" "$work/originals"
chmod 700 "$work/runtime"
cmake --install "$build" --prefix "$program" >/dev/null

# The desktop's opener stands in for a file manager: it notes what it was asked to open.
cat >"$work/bin/xdg-open" <<SH
#!/bin/sh
echo "\$1" >>"$work/opened"
SH
chmod +x "$work/bin/xdg-open"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

echo "First start: the password set twice opens the locker."
start_tarvolen
see "Set  new Password" "Set" "Exit" "Help" $'Please read help if you\nare a new user.' "${prompt[@]}"
[ "$(setting Msetting)" = 1 ] || fail "the Master Key switch is not stored as on"
shot "first-start"
type_password "Summer Rain"
see "Enter Again to Confirm" "Confirm" "Exit"
shot "confirm"
type_password "summer rain"
see "Please Wait..." --not "Confirm" --not "Exit"
shot "please-wait"
see "${locker_menu[@]}" --not "Please Wait..."
shot "locker-open"
wait_for_opening 1
[ -d "$program/Locker" ] || fail "no locker folder"
[ -n "$(setting Psetting)" ] || fail "the password was not stored"
[ "$(setting Rmove)" = out ] || fail "Rmove is not out once the locker is open"

echo "Files go in; Lock Folder and Exit encrypts them and ends the program."
{
    head -c 200000 /dev/urandom
    printf 'MIDDLE-OF-THE-PHOTO'
    head -c 200000 /dev/urandom
} >"$program/Locker/photo.bin"
printf 'Dear diary,\ntoday I locked my files.\n' >"$program/Locker/diary.txt"
mkdir -p "$program/Locker/letters"
printf 'A LETTER TO MUM' >"$program/Locker/letters/to mum.txt"
cp -r "$program/Locker/." "$work/originals"
locker_sums >"$work/sums"
click Lock
choose $lock_folder_and_exit
# "Files Locked Sucessfully" appears only once zentil has ended, which under the sanitizers can be
# after the ticks; it then stands for half a second only, too short to be read back for sure.
see "Locking in Progress..." --not "Exit and Lock"
shot "locking"
wait_for_end
[ "$(setting Files)" = 1 ] || fail "Files is not 1 after locking"
[ "$(setting Rmove)" = out ] || fail "Rmove is not out after locking"
for file in photo.bin diary.txt "letters/to mum.txt"; do
    [ -f "$program/Locker/$file" ] || fail "$file is gone"
    cmp -s "$program/Locker/$file" "$work/originals/$file" && fail "$file was not encrypted"
done
grep -r -a -q -e "today I locked" -e MIDDLE-OF-THE-PHOTO -e "A LETTER TO MUM" "$program/Locker" &&
    fail "original content is readable in the locked files"
[ ! -e "$program/e.bat" ] || fail "e.bat was left behind"

echo "A wrong password is refused; the right one opens the same files."
start_tarvolen
see "Enter Password" "OK" "Exit" $'\nFiles Encrypted.' "${prompt[@]}"
shot "files-encrypted"
# The window alone, as the README shows it.
import -window "$main" "$shots/window.png"
type_password "winter rain"
answer Protection "Access Denied, Invalid Password" Return
see "Enter Password" "OK" $'\nFiles Encrypted.'
type_password "SUMMER RAIN"
see "Please Wait..." $'\nFiles Encrypted.'
see "${locker_menu[@]}"
wait_for_opening 2
shot "reopened"
locker_sums | diff - "$work/sums" >/dev/null || fail "the files are not as they were put in"

echo "Ended by the system with the locker open, Tarvolen leaves the locking running behind it."
mkdir "$program/Locker/many"
for i in $(seq 1500); do echo "note $i" >"$program/Locker/many/$i.txt"; done
locker_sums >"$work/sums"
kill -TERM "$tarvolen"
wait_for_end
wait_for_setting Files 1 600
wait_for_no_zentil
plaintext_left && fail "a file was left readable by the locking that the end left behind"

echo "A start while that locking goes on waits for it, then opens every file."
start_tarvolen
type_password "summer rain"
see "${locker_menu[@]}"
kill -TERM "$tarvolen"
wait_for_end
start_tarvolen
type_password "summer rain"
see "${locker_menu[@]}"
wait_for_no_zentil
locker_sums | diff - "$work/sums" >/dev/null || fail "the files are not as they were put in"

echo "A locking cut short half-way leaves a true record for the next start."
# The run waits for the locker while another holds it: so it is found at work, and cut short.
exec {locker_lock}<"$program/Locker"
flock "$locker_lock"
kill -TERM "$tarvolen"
wait_for_end
wait_for_zentil
exec {locker_lock}<&-
sleep 0.3
for pid in $(zentil_runs); do kill -KILL "$pid"; done
wait_for_no_zentil
start_tarvolen
if plaintext_left; then
    see "Enter Password" $'\nFiles Accessable.'
else
    see "Enter Password" $'\nFiles Encrypted.'
fi
shot "after-cut-short"
type_password "summer rain"
see "${locker_menu[@]}"
wait_for_no_zentil
locker_sums | diff - "$work/sums" >/dev/null || fail "the files are not as they were put in"

echo "Exit without Locking leaves them readable."
click Lock 2
choose $exit_without_locking
answer "Please note" $'Your files will not be encrypted.\nAre you sure?' alt+y
wait_for_end
[ "$(setting Files)" = 0 ] || fail "Files is not 0 after leaving without locking"
locker_sums | diff - "$work/sums" >/dev/null || fail "the files were changed"

echo "Uninstall removes the program and its settings, never the locker."
start_tarvolen
see "Enter Password" $'\nFiles Accessable.'
type_password "summer rain"
see "${locker_menu[@]}"
shot "before-uninstall"
click Uninstall 2
answer Uninstall $'Do you really want to uninstall Tarvolen.\nYour personal locker folder will not be deleted.\nAre you sure?' alt+y
wait_for_setting Rmove in
# The locker is open, so the close offers the exit menu; the program ends whatever is chosen, and
# locks unless the user leaves the files readable. The uninstaller starts as it ends.
choose $exit_without_locking
answer "Please note" $'Your files will not be encrypted.\nAre you sure?' alt+y
wait_for_end
answer "Uninstall Confirmation" $'Click Ok to confirm the uninstall\nAre you sure?' Return
answer "Uninstall Completed Sucessfully" \
    $'Tarvolen uninstalled sucessfully. You can manually\ndelete the following files.\n\nUninstall\nYour personal locker, if not needed.' Return
for _ in $(seq 50); do [ -z "$(program_processes)" ] && break; sleep 0.1; done
[ -z "$(program_processes)" ] || fail "the uninstaller did not end"
for file in Tarvolen zentil dzentil.kqx ezentil.kqx Readme.html Readme.txt Versions.txt d.bat e.bat; do
    [ ! -e "$program/$file" ] || fail "$file was not removed"
done
[ "$(ls "$program")" = "$(printf 'Locker\nUninstall')" ] ||
    fail "the program folder holds more than Locker and Uninstall: $(ls "$program")"
grep -q -E '^(Psetting|Msetting|Files|Rmove)=' "$settings" 2>/dev/null && fail "the settings were not removed"
locker_sums | diff - "$work/sums" >/dev/null || fail "the locker did not survive"
echo "The whole road passed."
