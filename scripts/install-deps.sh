#!/bin/sh
# Installs the Debian packages that building, running and testing need, when any is missing.
# Usage: scripts/install-deps.sh [run|test]
set -eu

packages="g++ cmake make pkgconf qt6-base-dev libgl-dev libsodium-dev
          fonts-texgyre fonts-comic-neue fonts-liberation fonts-dejavu-core"
if [ "${1:-run}" = test ]; then
    packages="$packages xvfb xauth xdotool x11-utils imagemagick dbus-daemon python3-pyatspi"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
