#!/bin/bash
# Starts a headless weston of its own and runs, with no X server to fall back to: the Wayland
# test program, then the installed program folder's Tarvolen, which must load the Wayland plugin
# from its own lib/ and map its window. Pictures of weston's screen land in wayland-screenshots/
# of the build folder.
# Usage: wayland.sh <build folder> <test program>
set -euo pipefail

build=$1
test_program=$2
shots=$build/wayland-screenshots
rm -rf "$shots" && mkdir -p "$shots"
# The programs refuse a folder whose path contains "temp"; the build folder is the test's own.
scratch=$(mktemp -d "$build/wayland-XXXXXX")
weston_pid=""
tarvolen_pid=""
cleanup() {
    [ -n "$tarvolen_pid" ] && kill "$tarvolen_pid" 2>/dev/null
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

# The pixman renderer draws what a screenshot shows (headless draws nothing by default);
# --debug lets a client take one.
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
export WAYLAND_DISPLAY=tarvolen-test-$$
weston --backend=headless-backend.so --use-pixman --debug --no-config \
    --socket="$WAYLAND_DISPLAY" >"$scratch/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || { cat "$scratch/weston.log"; exit 1; }

unset DISPLAY
export QT_QPA_PLATFORM=wayland
# The test program asks for no graphics driver: its widgets are drawn into shared memory either
# way, and Mesa's driver, unloaded at the end, leaves LeakSanitizer blocks it can no longer trace
# to their owner. Qt says twice that it found no integration of that name.
LSAN_OPTIONS=suppressions=$(dirname "$0")/wayland-leaks.supp TARVOLEN_SCREENSHOTS=$shots \
    QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none "$test_program"

# The installed program at its first start: it shows the window at the password prompt, where a
# SIGTERM ends it with nothing open.
folder=$scratch/Tarvolen
cmake --install "$build" --prefix "$folder" >/dev/null
log=$scratch/tarvolen.log
XDG_CONFIG_HOME=$scratch/config QT_DEBUG_PLUGINS=1 WAYLAND_DEBUG=1 "$folder/Tarvolen" 2>"$log" &
tarvolen_pid=$!
# A buffer committed after the compositor's configure was acknowledged: the window is mapped.
mapped() { sed -n '/xdg_surface@[0-9]*\.ack_configure/,$p' "$log" | grep -q 'wl_surface@[0-9]*\.attach'; }
for _ in $(seq 200); do
    mapped && break
    sleep 0.1
done
mapped || { echo "FAIL: the installed Tarvolen mapped no window"; exit 1; }
(cd "$shots" && weston-screenshooter && mv wayland-screenshot-*.png installed.png)
plugin="\"$folder/lib/plugins/platforms/libqwayland-generic.so\" loaded library"
grep -qF "$plugin" "$log" || { echo "FAIL: the installed Tarvolen did not load $plugin"; exit 1; }
echo "The installed Tarvolen runs on Wayland with the plugin of its own lib/."
