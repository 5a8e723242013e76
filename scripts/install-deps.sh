#!/bin/sh
# Installs the Debian packages that building, running and testing need, when any is missing.
# Usage: scripts/install-deps.sh [run|test|clean-root|file-manager|gnome-session|kde|usb-drivers|orca]
set -eu

# The program folder's lib/ (see bundle/) takes the Wayland plugins from qt6-wayland and the faces
# from the font packages; patchelf points the copied libraries at each other. The fuzz targets
# (scripts/fuzz.sh) take clang and its libFuzzer, which libclang-rt-14-dev holds. The session road
# (tests/e2e/xsm.sh) takes xsm, its iceauth (x11-xserver-utils) and openbox; the check by hand under
# GNOME's session manager (tests/e2e/gnome-session.sh) takes gnome-session-bin and gdbus, and under
# GNOME Shell (tests/e2e/gnome-shell.sh) gnome-shell and xwayland. The check by hand under KDE Plasma
# (tests/e2e/kde.sh) takes KWin, ksmserver and plasma-shutdown (plasma-workspace), and python3-dbus to
# hand KWin's screenshot interface the pipe it writes to. The locker on a stick
# (tests/cipher/test_zentil_stick.cpp) takes exfatprogs and exfat-fuse. The check by hand on USB
# sticks (tests/usb/real-drivers.sh) boots a Debian kernel in qemu from a busybox initramfs; kmod
# orders the kernel's modules, the mkfs tools make the sticks.
# Message boxes speak GTK's protocol with GNOME's compositor through libwayland-client, with the
# code that wayland-scanner (libwayland-dev) writes, on the connection and surfaces that Qt's
# private API (qt6-base-private-dev) hands over; the screen-reader test turns Qt's accessibility on
# through that API too. The check by hand with Orca (tests/e2e/orca.sh) takes orca,
# speech-dispatcher and at-spi2-core.
packages="g++ cmake make pkgconf qt6-base-dev qt6-base-private-dev qt6-wayland libwayland-dev
          libgl-dev libsodium-dev patchelf fonts-texgyre fonts-comic-neue fonts-liberation
          fonts-dejavu-core"
case "${1:-run}" in
test) packages="$packages xvfb xauth xdotool x11-utils imagemagick dbus-daemon procps python3-pyatspi
                clang-format clang-tidy weston clang libclang-rt-14-dev x11-session-utils
                x11-xserver-utils openbox exfatprogs exfat-fuse" ;;
clean-root) packages="$packages debootstrap xvfb xauth xdotool imagemagick" ;;
file-manager) packages="$packages xvfb xauth xdotool imagemagick xdg-utils pcmanfm" ;;
gnome-session) packages="$packages xvfb xauth xdotool imagemagick dbus-daemon procps openbox
                         gnome-session-bin libglib2.0-bin gnome-shell xwayland" ;;
kde) packages="$packages xdotool imagemagick dbus-daemon procps libglib2.0-bin kwin-wayland
               plasma-workspace xwayland python3-dbus" ;;
usb-drivers) packages="$packages qemu-system-x86 busybox-static cpio kmod xz-utils bsdextrautils
                       dosfstools exfatprogs ntfs-3g e2fsprogs" ;;
orca) packages="$packages xvfb xauth xdotool x11-utils imagemagick dbus-daemon openbox orca
                speech-dispatcher at-spi2-core" ;;
esac

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
