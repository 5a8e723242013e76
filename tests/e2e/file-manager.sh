#!/bin/bash
# Unlocks the installed Tarvolen on an X server with a real file manager as the desktop's handler
# of folders (PCManFM, through xdg-open, in a settings folder of its own): the file manager's
# window must come up on Locker. Run by hand; not part of ./test.sh, whose road keeps its
# stand-in file manager.
# Usage: tests/e2e/file-manager.sh [build folder]   (build/test by default, built if need be)
# The picture and the logs land in build/file-manager/.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/test}")
out=$PWD/build/file-manager
mkdir -p "$out"
scripts/install-deps.sh file-manager
cmake --build "$build" -j "$(nproc)" --target Tarvolen Uninstall zentil >/dev/null

# The program refuses a folder whose path contains "temp", in any letter case.
work=$(mktemp -d /var/tmp/tarvolen-fm-XXXXXX)
xvfb=""
tarvolen=""
manager=""
cleanup() {
    for pid in $manager $tarvolen $xvfb; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
cmake --install "$build" --prefix "$work/Tarvolen" >/dev/null
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION WAYLAND_DISPLAY
xdg-mime default pcmanfm.desktop inode/directory
[ "$(xdg-mime query default inode/directory)" = pcmanfm.desktop ] ||
    { echo "FAIL: PCManFM is not the handler of folders"; exit 1; }

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

QT_QPA_PLATFORM=xcb "$work/Tarvolen/Tarvolen" >"$out/tarvolen.log" 2>&1 &
tarvolen=$!
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tarvolen v3.0$' | head -n 1)
[ -n "$main" ] || { echo "FAIL: no Tarvolen window"; cat "$out/tarvolen.log"; exit 1; }
# A first password, typed twice: the locker is made, decrypted and opened.
for _ in 1 2; do
    xdotool windowfocus --sync "$main" type --delay 50 secret
    xdotool key Return
    sleep 1
done
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Locker$' | head -n 1) ||
    true
[ -n "$window" ] || { echo "FAIL: no file manager window on Locker"; exit 1; }
manager=$(xdotool getwindowpid "$window")
[ "$(cat "/proc/$manager/comm")" = pcmanfm ] ||
    { echo "FAIL: the window on Locker is not PCManFM's"; exit 1; }
sleep 2
import -window root "$out/file-manager.png"
echo "PASS: unlocking opened PCManFM on Locker. Picture: $out/file-manager.png"
