#!/bin/bash
# By hand: the real Orca reads Tarvolen on Xvfb, driven from the keyboard; what it said lands in
# orca-screenshots/speech.txt of the build folder. Usage: orca.sh <build folder>
set -euo pipefail
[ -n "${ORCA_SESSION_BUS:-}" ] || ORCA_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
build=$(cd "$1" && pwd) && pictures=$build/orca-screenshots && rm -rf "$pictures" && mkdir -p "$pictures"
until work=$(mktemp -d /tmp/tarvolen-orca-XXXXXX) && [[ ${work,,} != *temp* ]]; do rmdir "$work"; done
program=$work/Tarvolen log=$work/orca.log password=kwyzq7 pids="" mark=0
trap 'kill $pids 2>/dev/null; cp "$log" "$pictures/" 2>/dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/session-helpers.sh"
export DISPLAY=:$((RANDOM % 500 + 100)) XDG_RUNTIME_DIR=$work/runtime && mkdir -m 700 -p "$work/runtime" "$work/bin"
cmake --install "$build" --prefix "$program" >/dev/null
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open" && chmod +x "$work/bin/xdg-open"
spoken() { tail -n +$((mark + 1)) "$log" | sed -n "s/.*SPEECH OUTPUT: '//p" | sed "s/' *{'established.*//"; }
# Runs the command in $1; Orca must then say each further argument, within any utterance.
act() {
    local command=$1 line && shift && mark=$(wc -l <"$log") && eval "$command" && sleep 1
    for line; do within 150 eval 'spoken | grep -qF -- "$line"' || fail "Orca did not say: $line"; done
    echo "== $command" >>"$pictures/speech.txt" && spoken >>"$pictures/speech.txt"
}
keys() { xdotool key --delay 300 "$@"; }
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & pids=$!
within 50 xdpyinfo >/dev/null 2>&1 || fail "no X server"
openbox 2>/dev/null & pids="$pids $!"
gsettings set org.gnome.desktop.a11y.applications screen-reader-enabled true
script -qfc "orca --replace -u '$work/prefs' --debug-file /dev/stdout" "$log" >/dev/null 2>&1 &
pids="$pids $!" && within 600 grep -q "SPEECH OUTPUT: 'Screen reader on" "$log" || fail "no Orca"
act 'XDG_CONFIG_HOME=$work/config PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program/Tarvolen" >"$work/tarvolen.log" 2>&1 & pids="$pids $!"' \
    "Set  new Password password text." "Please read help if you are a new user."
act 'xdotool type --delay 200 $password && keys Return' "notification Enter Again to Confirm."
act 'xdotool type --delay 200 $password && keys Return' "notification Please Wait..." \
    "Open Locker push button." "notification Locker open."
act 'keys Tab Tab space' "Set  new Password password text." "Click Back to Cancel."
act 'keys Tab Tab space Tab Tab Tab Tab space' "About Version 3.0 dialog Thanks for keeping your files" "OK push button."
for i in $(seq 150); do head -c 700000 /dev/urandom >"$program/Locker/$i.bin"; done
act 'keys Escape && xdotool mousemove 1000 700 && keys shift+Tab shift+Tab shift+Tab space' "Lock Folder and Exit."
act 'keys Return' "notification Locking in Progress..." "of 150 files" "notification Files Locked Sucessfully."
! grep -q -e "$password" -e "'[a-z0-9]'" "$log" || fail "the password reached Orca"
