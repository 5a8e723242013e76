#!/bin/bash
# Starts the program folder from the tarball in a minimal Debian 12 root that has only the
# libraries every desktop has (no Qt, no libsodium, no fonts), on an X server of the host:
# takes pictures of the window, sets a password through it, and runs the two scripts over a
# small locker there and back. Run by hand, as root; not part of ./test.sh.
# Usage: tests/bundle/clean-root.sh [Tarvolen-3.00-Linux.tar.gz]
# Without a tarball it builds one in build/release. Pictures and the log land in
# build/clean-root/.
set -euo pipefail
tarball=${1:+$(realpath "$1")}
cd "$(dirname "$0")/../.."
repo=$PWD
out="$repo/build/clean-root"
mkdir -p "$out"
scripts/install-deps.sh clean-root

if [ -z "$tarball" ]; then
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_TESTS=OFF >/dev/null
    cmake --build build/release -j "$(nproc)" >/dev/null
    (cd build/release && cpack >/dev/null)
    tarball=$PWD/build/release/Tarvolen-3.00-Linux.tar.gz
fi

# The mirror that apt on this machine uses.
mirror=$( (cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources 2>/dev/null || true) |
    grep -oE 'https?://[^ ]*/debian/?( |$)' | head -n 1 | tr -d ' ')
mirror=${mirror:-http://deb.debian.org/debian}

root=$(mktemp -d /var/tmp/tarvolen-root-XXXXXX)
display=:$((50 + RANDOM % 50))
cleanup() {
    [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null || true
    while umount "$root/proc" 2>/dev/null; do :; done
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT

echo "Making a minimal Debian 12 root from $mirror"
debootstrap --variant=minbase \
    --include=libx11-6,libx11-xcb1,libxcb1,libgl1,libegl1,libopengl0,libfontconfig1,libfreetype6 \
    bookworm "$root" "$mirror" >"$out/debootstrap.log"
mount -t proc proc "$root/proc"
tar -xzf "$tarball" -C "$root/opt"
folder=/opt/Tarvolen

# Runs a command in the root with a clean environment and the host's X server over TCP.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root XDG_CONFIG_HOME=/root/config \
        DISPLAY="127.0.0.1$display" "$@"
}

Xvfb "$display" -screen 0 640x480x24 -listen tcp -ac >/dev/null 2>&1 &
xvfb=$!
sleep 2
export DISPLAY=$display

echo "Starting Tarvolen in the root"
in_root "$folder/Tarvolen" >"$out/tarvolen.log" 2>&1 &
tarvolen=$!
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tarvolen v3.0$' | head -n 1)
[ -n "$main" ] || { echo "FAIL: no Tarvolen window"; cat "$out/tarvolen.log"; exit 1; }
sleep 1
import -window root "$out/first-start.png"
# A first password, typed twice; the locker then opens (the root has no file manager to show it).
for _ in 1 2; do
    xdotool windowfocus --sync "$main" type --delay 50 secret
    xdotool key Return
    sleep 1
done
sleep 4
import -window root "$out/locker-open.png"
kill "$tarvolen"
wait "$tarvolen" || true
grep -q Psetting "$root/root/config/tarvolen/vemb.ini" || { echo "FAIL: no password was set"; exit 1; }

echo "Locking and unlocking a small locker with the two scripts"
locker="$root$folder/Locker"
mkdir -p "$locker/inner"
head -c 100000 /dev/urandom >"$locker/random.bin"
echo "a small note" >"$locker/inner/note.txt"
rm -rf "$out/locker-before"
cp -a "$locker" "$out/locker-before"
in_root sh "$folder/ezentil.kqx"
if cmp -s "$locker/inner/note.txt" "$out/locker-before/inner/note.txt"; then
    echo "FAIL: the encrypt script left the files as they were"
    exit 1
fi
in_root sh "$folder/dzentil.kqx"
diff -r "$out/locker-before" "$locker" || { echo "FAIL: the round trip changed the files"; exit 1; }
rm -rf "$out/locker-before"

echo "PASS: Tarvolen starts in a bare Debian 12 root and its scripts run there and back."
echo "Pictures: $out/first-start.png, $out/locker-open.png"
