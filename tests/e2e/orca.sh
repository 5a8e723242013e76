#!/bin/bash
# By hand, with the real Orca: the installed Tarvolen on Xvfb and openbox, driven from the keyboard
# alone, while Orca writes what it speaks to its debug log. The password never reaches the bus
# (the log holds every event Orca receives, with its text), each stage is spoken, and so are the
# About window, the exit menu and a lock from its start to its end. What Orca said is kept in
# orca-screenshots/speech.txt of the build folder.
# Usage: orca.sh <build folder>
set -euo pipefail
[ -n "${ORCA_SESSION_BUS:-}" ] || ORCA_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
build=$(cd "$1" && pwd)
pictures=$build/orca-screenshots
rm -rf "$pictures" && mkdir -p "$pictures"
while :; do # the programs refuse a folder whose path contains "temp"
    work=$(mktemp -d /tmp/tarvolen-orca-XXXXXX)
    case "${work,,}" in *temp*) rmdir "$work" ;; *) break ;; esac
done
program=$work/Tarvolen log=$work/orca.log password=kwyzq7 pids="" mark=0
trap 'kill $pids 2>/dev/null; cp "$log" "$pictures/" 2>/dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/session-helpers.sh"
export DISPLAY=:$((RANDOM % 500 + 100)) XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 -p "$work/runtime" "$work/bin"
cmake --install "$build" --prefix "$program" >/dev/null
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open" && chmod +x "$work/bin/xdg-open"

spoken() { tail -n +$((mark + 1)) "$log" | sed -n "s/.*SPEECH OUTPUT: '//p" | sed "s/' *{'established.*//"; }
says() { spoken | grep -qF -- "$1"; }
# Does what the arguments say; Orca must then say each line of the standard input, in any order,
# alone or within a longer utterance.
act() {
    mark=$(wc -l <"$log") && "$@" && sleep 1
    while read -r line; do within 150 says "$line" || fail "Orca did not say: $line"; done
    echo "== $*" >>"$pictures/speech.txt" && spoken >>"$pictures/speech.txt"
}
keys() { xdotool key --delay 300 "$@"; }
enter_password() { xdotool type --delay 200 "$password" && keys Return; }

Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & pids=$!
within 50 xdpyinfo >/dev/null 2>&1 || fail "no X server"
openbox 2>/dev/null & pids="$pids $!"
gsettings set org.gnome.desktop.a11y.applications screen-reader-enabled true
# Orca writes its log line by line only to a terminal: script gives it one.
script -qfc "orca --replace -u '$work/prefs' --debug-file /dev/stdout" "$log" >/dev/null 2>&1 &
pids="$pids $!"
within 600 grep -q "SPEECH OUTPUT: 'Screen reader on" "$log" 2>/dev/null || fail "Orca did not start"
start() {
    XDG_CONFIG_HOME=$work/config PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        "$program/Tarvolen" >"$work/tarvolen.log" 2>&1 &
    pids="$pids $!"
}
act start <<EOF
Set  new Password password text.
Please read help if you are a new user.
EOF
act enter_password <<EOF
notification Enter Again to Confirm.
EOF
act enter_password <<EOF
notification Please Wait...
notification Locker open.
Open Locker push button.
EOF
act keys Tab Tab space <<EOF
Set  new Password password text.
Click Back to Cancel.
EOF
act keys Tab Tab space <<EOF
notification Locker open.
EOF
act keys Tab Tab Tab Tab space <<EOF
About Version 3.0 dialog Thanks for keeping your files in Tarvolen.
OK push button.
EOF
act keys Escape </dev/null
for i in $(seq 150); do head -c 700000 /dev/urandom >"$program/Locker/$i.bin"; done
xdotool mousemove 1000 700
act keys shift+Tab shift+Tab shift+Tab space <<EOF
Lock Folder and Exit.
EOF
act keys Return <<EOF
notification Locking in Progress...
notification Files Locked Sucessfully.
EOF
import -window root "$pictures/end.png" 2>/dev/null || true
! grep -q -e "$password" -e "'[a-z0-9]'" "$log" || fail "the password reached Orca"
echo "Orca said:" && cat "$pictures/speech.txt"
